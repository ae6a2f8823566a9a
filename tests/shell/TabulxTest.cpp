// The program run as a user runs it without a display: exit status,
// messages and the files it writes.
#include "data/drivers/dbf/DbfDriver.h"
#include "data/drivers/dbf/DbfWriter.h"
#include "data/locale/FormatSettings.h"
#include "tests/support/EditCrashHarness.h"
#include "tests/support/TempFolder.h"
#include "tests/support/XlsxPackage.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
// The committed samples beside the sources (named by the build: a compiler
// cache may give __FILE__ as a relative path), and the program that makes
// them beside tabulx in the build tree.
const fs::path SamplesDir = TABULON_SAMPLES_DIR;
const fs::path MakeSamples =
    fs::path(TABULX_PATH).parent_path().parent_path() / "samples" / "make_samples";

struct TRun {
    int Status = -1;
    std::string Out, Err;
};

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class TTabulxFixture : public ::testing::Test {
protected:
    TTempFolder Folder{"tabulx-test"};
    const fs::path Dir = Folder.Path();
    void SetUp() override {
        fs::create_directories(Dir / "config");
        std::vector<TDbfFieldSpec> fields = {
            {"ID", 'N', 6, 0}, {"NAME", 'C', 20, 0}, {"NOTE", 'M', 10, 0}};
        std::vector<std::vector<TValue>> rows;
        for (int i = 1; i <= 250; ++i)
            rows.push_back({TValue::OfInt(i),
                            TValue::OfText(i == 2 ? "Zoë, Ærø" : "N" + std::to_string(i)),
                            i % 2 ? TValue::OfText("memo") : TValue::Null()});
        TDbfWriter::Write((Dir / "orders.dbf").string(), dvDBase3, fields, rows, 1252);
    }

    // Runs the program with a settings folder of its own and no display.
    TRun Tabulx(const std::vector<std::string>& args, const fs::path& cwd = {}) {
        return Run(TABULX_PATH, args, cwd);
    }
    TRun Run(const std::string& program, const std::vector<std::string>& args,
             const fs::path& cwd = {}) {
        fs::path out = Dir / "stdout", err = Dir / "stderr";
        pid_t pid = fork();
        if (pid == 0) {
            setenv("XDG_CONFIG_HOME", (Dir / "config").c_str(), 1);
            setenv("HOME", Dir.c_str(), 1);
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            if (!freopen(out.c_str(), "w", stdout) || !freopen(err.c_str(), "w", stderr))
                _exit(126);
            if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(125);
            std::vector<char*> argv{const_cast<char*>(program.c_str())};
            for (const std::string& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        TRun r;
        r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        r.Out = Slurp(out);
        r.Err = Slurp(err);
        return r;
    }
    std::string P(const char* name) const { return (Dir / name).string(); }
};
} // namespace

TEST_F(TTabulxFixture, ExportsWithAnAbsolutePathAndSaysHowMany) {
    TRun r = Tabulx({"-export", P("orders.dbf"), P("orders.txt")});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "250 records have been copied.\n");
    std::string doc = Slurp(Dir / "orders.txt");
    EXPECT_EQ(doc.substr(0, 19), "ID\tNAME\tNOTE\r\n1\tN1\t");
    EXPECT_NE(doc.find("2\tZoë, Ærø\t(Memo)\r\n"), std::string::npos) << "text comes back in UTF-8";
    EXPECT_FALSE(fs::exists(Dir / "orders.txt.partial"));
}

TEST_F(TTabulxFixture, SeparatorCodeAndSlashOptions) {
    TRun r = Tabulx({"/EXPORT", P("orders.dbf"), P("orders.dat"), "-separator=#59", "-closeafter"});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "") << "close-after shows no result";
    EXPECT_EQ(Slurp(Dir / "orders.dat").substr(0, 13), "ID;NAME;NOTE\r");
    // The separator and format stay in the settings for the next run.
    std::string ini = Slurp(Dir / "config" / "Kessmark" / "Tabulon.conf");
    EXPECT_NE(ini.find("Separator=\";\""), std::string::npos) << ini;
    EXPECT_NE(ini.find("FormatType=0"), std::string::npos) << ini;
}

TEST_F(TTabulxFixture, SeparatorsAreCharactersAndStayInTheSettings) {
    const fs::path ini = Dir / "config" / "Kessmark" / "Tabulon.conf";
    auto firstLines = [&](const std::string& s) {
        return "ID" + s + "NAME" + s + "NOTE\r\n1" + s + "N1" + s + "(MEMO)\r\n2" + s + "Zoë, Ærø" +
               s;
    };
    struct TCase {
        const char* Option;
        const char* Separator;
        const char* Stored; // as the settings file holds it
    } cases[] = {{"-separator=§", "§", "§"},
                 {"-separator=€", "€", "€"},
                 {"-separator=#167", "§", "§"},
                 {"-separator=#128", "€", "€"},
                 {"-separator=#$1F600", "😀", "😀"},
                 // A quote, CR or LF is written as it is, and kept.
                 {"-separator=\"", "\"", "\\\""},
                 {"-separator=#13", "\r", "\\r"},
                 {"-separator=#10", "\n", "\\n"}};
    for (const auto& [option, separator, stored] : cases) {
        SCOPED_TRACE(option);
        TRun r = Tabulx({"-export", P("orders.dbf"), P("o.txt"), option});
        EXPECT_EQ(r.Status, 0) << r.Err;
        std::string doc = Slurp(Dir / "o.txt");
        EXPECT_EQ(doc.substr(0, firstLines(separator).size()), firstLines(separator));
        EXPECT_NE(Slurp(ini).find(std::string("Separator=") + stored + "\n"), std::string::npos)
            << Slurp(ini);
        // The next run takes the stored separator.
        TRun again = Tabulx({"-export", P("orders.dbf"), P("again.txt")});
        EXPECT_EQ(again.Status, 0) << again.Err;
        EXPECT_TRUE(Slurp(Dir / "again.txt") == doc) << "the stored separator differs";
    }
    // A code that names no character writes nothing and leaves the settings as they were.
    const std::string before = Slurp(ini);
    TRun bad = Tabulx({"-export", P("orders.dbf"), P("bad.txt"), "-separator=#55296"});
    EXPECT_NE(bad.Status, 0);
    EXPECT_EQ(bad.Err, "tabulx: Errors in command line.\nThe separator code #55296 names no "
                       "character: #55296 to #57343 (#$D800 to #$DFFF) are UTF-16 surrogates.\n");
    EXPECT_FALSE(fs::exists(Dir / "bad.txt"));
    EXPECT_EQ(Slurp(ini), before);
    TRun far = Tabulx({"-export", P("orders.dbf"), P("bad.txt"), "-separator=#1114112"});
    EXPECT_NE(far.Status, 0);
    EXPECT_NE(far.Err.find("the largest code is #1114111"), std::string::npos) << far.Err;
    EXPECT_FALSE(fs::exists(Dir / "bad.txt"));

    // A multibyte separator stored by another run or by hand.
    std::ofstream(ini) << "[Settings]\nSeparator=\\x20ac;\n";
    TRun stored = Tabulx({"-export", P("orders.dbf"), P("stored.txt")});
    EXPECT_EQ(stored.Status, 0) << stored.Err;
    EXPECT_EQ(Slurp(Dir / "stored.txt").substr(0, firstLines("€").size()), firstLines("€"));
}

TEST_F(TTabulxFixture, ErrorsTellTheTruth) {
    TRun missing = Tabulx({"-ado", P("missing.dbf")});
    EXPECT_NE(missing.Status, 0);
    EXPECT_EQ(missing.Err, "tabulx: Errors in command line.\nFile does not exist:\n\n" +
                               P("missing.dbf") + "\n");

    TRun nodest = Tabulx({"-export", P("orders.dbf")});
    EXPECT_NE(nodest.Status, 0);
    EXPECT_EQ(nodest.Err,
              "tabulx: Errors in command line.\nDestination file name does not specified.\n");

    std::ofstream(P("broken.dbf")) << "not a table";
    TRun broken = Tabulx({"-export", P("broken.dbf"), P("broken.txt")});
    EXPECT_NE(broken.Status, 0);
    EXPECT_NE(broken.Err.find("broken.dbf"), std::string::npos) << broken.Err;
    EXPECT_FALSE(fs::exists(Dir / "broken.txt"));

    TRun nowhere = Tabulx({"-export", P("orders.dbf"), P("no/such/dir/o.txt")});
    EXPECT_NE(nowhere.Status, 0);
    EXPECT_NE(nowhere.Err.find("no/such/dir"), std::string::npos) << nowhere.Err;
}

TEST_F(TTabulxFixture, ACodePageFromTheCommandLine) {
    // Text in 866 under a language byte that says 1251.
    TDbfWriter w(P("cp.dbf"), dvDBase3, {{"NAME", 'C', 10, 0}}, 866);
    w.SetLanguageId(0xC9);
    w.AddRecord({TValue::OfText("Жук")});
    w.Finish();
    TRun marked = Tabulx({"-export", P("cp.dbf"), P("marked.txt")});
    EXPECT_EQ(marked.Status, 0) << marked.Err;
    EXPECT_NE(Slurp(Dir / "marked.txt").find("†гЄ"), std::string::npos);
    TRun forced = Tabulx({"-export", P("cp.dbf"), P("forced.txt"), "-CodePage=866"});
    EXPECT_EQ(forced.Status, 0) << forced.Err;
    EXPECT_EQ(Slurp(Dir / "forced.txt"), "NAME\r\nЖук\r\n");
    TRun opened = Tabulx({"/codepage=cp866", P("cp.dbf")});
    EXPECT_EQ(opened.Status, 0) << opened.Err;
    EXPECT_EQ(opened.Out, P("cp.dbf") + ": 1 records\n");
    TRun bad = Tabulx({"-export", P("cp.dbf"), P("bad.txt"), "-codepage=klingon"});
    EXPECT_NE(bad.Status, 0);
    EXPECT_EQ(bad.Err.rfind("tabulx: Errors in command line.\nUnknown code page: klingon (", 0), 0u)
        << bad.Err;
    EXPECT_FALSE(fs::exists(Dir / "bad.txt"));
}

TEST_F(TTabulxFixture, OpeningWithoutExportReportsTheTable) {
    TRun r = Tabulx({P("orders.dbf")});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, P("orders.dbf") + ": 250 records\n");
    TRun none = Tabulx({});
    EXPECT_EQ(none.Status, 2);
    EXPECT_NE(none.Err.find("usage"), std::string::npos);
}

// What the table's driver warns about goes to standard error, and the
// export goes on: a missing memo file, a damaged memo with memo text
// wanted.
TEST_F(TTabulxFixture, WarningsAboutTheTableGoToStandardError) {
    fs::rename(Dir / "orders.dbt", Dir / "away.dbt");
    TRun missing = Tabulx({"-export", P("orders.dbf"), P("orders.txt")});
    EXPECT_EQ(missing.Status, 0) << missing.Err;
    EXPECT_EQ(missing.Out, "250 records have been copied.\n");
    EXPECT_EQ(missing.Err, "tabulx: warning: Table \"" + P("orders.dbf") +
                               "\": its memo file \"orders.dbt\" is missing; its memo values read "
                               "as (unavailable)\n");
    std::string doc = Slurp(Dir / "orders.txt");
    EXPECT_NE(doc.find("\r\n1\tN1\t(MEMO)\r\n2\tZoë, Ærø\t(Memo)\r\n"), std::string::npos);
    // Opening alone says it too.
    TRun open = Tabulx({P("orders.dbf")});
    EXPECT_EQ(open.Status, 0);
    EXPECT_EQ(open.Err, missing.Err);

    // The memo file cut after the first value, memo text wanted.
    std::string dbt = Slurp(Dir / "away.dbt");
    std::ofstream(Dir / "orders.dbt", std::ios::binary) << dbt.substr(0, 1024);
    fs::create_directories(Dir / "config" / "Kessmark");
    std::ofstream(Dir / "config" / "Kessmark" / "Tabulon.conf")
        << "[Settings]\nIncludeMemoData=1\n";
    TRun damaged = Tabulx({"-export", P("orders.dbf"), P("orders.txt")});
    EXPECT_EQ(damaged.Status, 0) << damaged.Err;
    EXPECT_EQ(damaged.Out, "250 records have been copied.\n");
    EXPECT_NE(damaged.Err.find("tabulx: warning: Table \"" + P("orders.dbf") +
                               "\": the memo of field 'NOTE' in record 3 cannot be read"),
              std::string::npos)
        << damaged.Err;
    doc = Slurp(Dir / "orders.txt");
    EXPECT_NE(doc.find("\r\n1\tN1\tmemo\r\n2\tZoë, Ærø\t\r\n3\tN3\t(unavailable)\r\n"),
              std::string::npos);
    EXPECT_NE(doc.find("\r\n249\tN249\t(unavailable)\r\n250\tN250\t\r\n"), std::string::npos);
    // A hundred warnings, then a note that there are more.
    EXPECT_NE(damaged.Err.find("(more warnings about the table are not shown)"), std::string::npos);
}

// An edit that did not finish (its writer died between writing the table
// and syncing it) is put back when the program opens the table, and
// standard error says so; the export reads the table as it was.
TEST_F(TTabulxFixture, ARolledBackChangeIsToldOnStandardError) {
    const std::string path = P("orders.dbf");
    const std::string before = Slurp(Dir / "orders.dbf");
    // The journal's write and two syncs, the table's record and header and
    // the memo's block and header: step 9 syncs the first file.
    ASSERT_TRUE(edittest::DiesAtStep(9, [&] {
        TDbfDriver d;
        TFieldDefs fields;
        TIndexDefs indexes;
        d.Open(path, fields, indexes);
        d.Post(0, {TValue::OfInt(1), TValue::OfText("half"), TValue::OfText("a new memo")});
    }));
    ASSERT_TRUE(fs::exists(path + "-journal"));
    ASSERT_NE(Slurp(Dir / "orders.dbf"), before);
    TRun r = Tabulx({"-export", path, P("orders.txt")});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "250 records have been copied.\n");
    EXPECT_NE(r.Err.find("tabulx: warning: Table \"" + path +
                         "\" was put back as it was before a change that did not finish"),
              std::string::npos)
        << r.Err;
    EXPECT_FALSE(fs::exists(path + "-journal"));
    EXPECT_EQ(Slurp(Dir / "orders.dbf"), before);
    EXPECT_NE(Slurp(Dir / "orders.txt").find("\r\n1\tN1\t"), std::string::npos);
}

// A table without fields exports as documents without columns.
TEST_F(TTabulxFixture, ATableWithoutFieldsExportsEveryFormat) {
    std::string table = Slurp(Dir / "orders.dbf").substr(0, 32) + "\x0D";
    table[4] = 2, table[5] = table[6] = table[7] = 0; // two records
    table[8] = 33, table[9] = 0;                      // header length
    table[10] = 1, table[11] = 0;                     // record length
    table += "  \x1A";
    std::ofstream(P("none.dbf"), std::ios::binary) << table;
    for (const char* ext : {"txt", "htm", "xml", "rtf", "xls"}) {
        SCOPED_TRACE(ext);
        TRun r = Tabulx({"-export", P("none.dbf"), P("none.") + ext});
        EXPECT_EQ(r.Status, 0) << r.Err;
        EXPECT_EQ(r.Out, "2 records have been copied.\n");
        EXPECT_EQ(r.Err, "");
    }
    EXPECT_EQ(Slurp(Dir / "none.txt"), "\r\n\r\n\r\n");
}

TEST_F(TTabulxFixture, EachFormatFromTheTypeOrTheExtension) {
    struct TCase {
        const char* Dest;
        const char* Type;
        std::string Starts;
    };
    const TCase cases[] = {
        {"o.htm", "", "<"},
        {"o.xml", "", "<?xml"},
        {"o.rtf", "", "{\\rtf0\\ansi"},
        {"o.xls", "", std::string("\x09\x08", 2)},
        {"o.txt", "-exporttype=xls", std::string("\x09\x08", 2)},
        {"o.dat", "", "ID\tNAME"},
    };
    for (const TCase& c : cases) {
        std::vector<std::string> args = {"-export", P("orders.dbf"), P(c.Dest)};
        if (*c.Type) args.push_back(c.Type);
        TRun r = Tabulx(args);
        EXPECT_EQ(r.Status, 0) << c.Dest << ": " << r.Err;
        EXPECT_EQ(r.Out, "250 records have been copied.\n") << c.Dest;
        std::string doc = Slurp(Dir / c.Dest);
        EXPECT_EQ(doc.substr(0, c.Starts.size()), c.Starts) << c.Dest;
        EXPECT_NE(doc.find("250"), std::string::npos) << c.Dest << " holds the last record";
    }
}

TEST_F(TTabulxFixture, XlsxFromTheTypeOrTheExtension) {
    for (const char* dest : {"o.xlsx", "o.dat"}) {
        SCOPED_TRACE(dest);
        std::vector<std::string> args = {"-export", P("orders.dbf"), P(dest)};
        if (std::string(dest) == "o.dat") args.push_back("-exporttype=XLSX");
        TRun r = Tabulx(args);
        EXPECT_EQ(r.Status, 0) << r.Err;
        EXPECT_EQ(r.Out, "250 records have been copied.\n");
        EXPECT_EQ(r.Err, "");
        xlsx::TPackage p((Dir / dest).string());
        EXPECT_EQ(p.SheetNames(), std::vector<std::string>{"orders"});
        auto cells = p.Cells(1);
        EXPECT_EQ(cells["A1"].Value, "ID");
        EXPECT_EQ(cells["B3"].Value, "Zo\xC3\xAB, \xC3\x86r\xC3\xB8");
        EXPECT_EQ(cells["A251"].Value, "250");
        EXPECT_EQ(cells["A251"].Type, "") << "a number";
    }
    std::set<std::string> left;
    for (const auto& e : fs::directory_iterator(Dir))
        left.insert(e.path().filename().string());
    EXPECT_EQ(left.count("o.xlsx") + left.count("o.dat"), 2u);
    for (const std::string& name : left)
        EXPECT_EQ(name.find(".tmp"), std::string::npos) << name << " left behind";
}

TEST_F(TTabulxFixture, ATableInAFolderWhoseNameEndsAConnectionPair) {
    for (const char* folder : {"a;b", "c{d}=e"}) {
        fs::path dir = Dir / folder;
        fs::create_directories(dir);
        fs::copy_file(SamplesDir / "customers.dbf", dir / "customers.dbf");
        fs::copy_file(SamplesDir / "customers.dbt", dir / "customers.dbt");
        for (const char* engine : {"-ado", ""}) {
            SCOPED_TRACE(std::string(folder) + " " + engine);
            std::vector<std::string> args = {"-export", (dir / "customers.dbf").string(),
                                             (dir / "c.htm").string()};
            if (*engine) args.push_back(engine);
            TRun r = Tabulx(args);
            EXPECT_EQ(r.Status, 0) << r.Err;
            EXPECT_EQ(r.Out, "5 records have been copied.\n");
            EXPECT_NE(Slurp(dir / "c.htm").find("Chloé Dupré"), std::string::npos);
        }
        TRun open = Tabulx({"-ado", (dir / "customers.dbf").string()});
        EXPECT_EQ(open.Status, 0) << open.Err;
        EXPECT_EQ(open.Out, (dir / "customers.dbf").string() + ": 5 records\n");
    }
}

TEST_F(TTabulxFixture, ABareFileNameThroughEitherEngine) {
    for (const char* engine : {"-ado", ""}) {
        SCOPED_TRACE(*engine ? engine : "no -ado");
        std::vector<std::string> args = {"-export", "orders.dbf", "o.txt"};
        if (*engine) args.push_back(engine);
        TRun r = Tabulx(args, Dir);
        EXPECT_EQ(r.Status, 0) << r.Err;
        EXPECT_EQ(r.Out, "250 records have been copied.\n");
        EXPECT_EQ(Slurp(Dir / "o.txt").substr(0, 14), "ID\tNAME\tNOTE\r\n");
        fs::remove(Dir / "o.txt");
    }
    TRun open = Tabulx({"-ado", "orders.dbf"}, Dir);
    EXPECT_EQ(open.Status, 0) << open.Err;
    EXPECT_EQ(open.Out, "orders.dbf: 250 records\n");
}

namespace {
std::vector<uint32_t> CodePoints(const std::string& s) {
    std::vector<uint32_t> out;
    for (size_t i = 0; i < s.size();) {
        auto b = static_cast<unsigned char>(s[i]);
        int n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        uint32_t c = n == 1 ? b : b & (0x7F >> n);
        for (int k = 1; k < n; ++k)
            c = c << 6 | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        out.push_back(c);
        i += n;
    }
    return out;
}

// The ways a cell's text may stand in a document of the format: UTF-8 with
// the markup's escapes, RTF's \uN? for what is not ASCII, and in a
// worksheet one byte a character or UTF-16.
std::vector<std::string> Forms(const std::string& text, const std::string& ext) {
    if (ext == "txt") return {text};
    if (ext == "htm" || ext == "xml") {
        std::string r;
        for (char c : text)
            r += c == '"' ? "&quot;" : c == '&' ? "&amp;" : c == '<' ? "&lt;" : std::string(1, c);
        return {r};
    }
    if (ext == "rtf") {
        std::string r;
        for (uint32_t c : CodePoints(text))
            r += c < 0x80 ? std::string(1, static_cast<char>(c))
                          : "\\u" + std::to_string(static_cast<int16_t>(c)) + "?";
        return {r};
    }
    std::string bytes, utf16;
    bool fits = true;
    for (uint32_t c : CodePoints(text)) {
        fits = fits && c < 0x100;
        bytes += static_cast<char>(c & 0xFF);
        utf16 += static_cast<char>(c & 0xFF);
        utf16 += static_cast<char>(c >> 8 & 0xFF);
    }
    return fits ? std::vector<std::string>{bytes, utf16} : std::vector<std::string>{utf16};
}

struct TSample {
    const char* File;
    int Records;
    const char* Names; // the text export's first line
    const char* Row;   // one whole line of the text export
    std::vector<std::string> Cells;
};

// Cells come from the generator's inputs: non-ASCII names, quoting, the
// last record.
const TSample Samples[] = {
    {"customers.dbf",
     5,
     "ID\tNAME\tCITY\tBALANCE\tSINCE\tACTIVE\tNOTES\r\n",
     "2\tZoë Ærø\tÅrhus\t-40.25\t11/2/2021\tTrue\t(Memo)\r\n",
     {"Zoë Ærø", "Jörg Müller", "Chloé Dupré"}},
    {"orders.db",
     24,
     "OrderNo\tCustomer\tCity\tOrdered\tAmount\tQty\tPaid\tGröße\tNote\r\n",
     "1003\tZoë Ærø\tÅrhus\t1/16/2024\t$58.11\t4\tFalse\tXL\t(MEMO)\r\n",
     {"Größe", "Kasia Wójcik", "Dún Laoghaire"}},
    {"products.csv",
     20,
     "Code\tName\tPrice\tAdded\tInStock\tDescription\r\n",
     "4106\tEpoxy kit\t23.69\t7/11/2023\tTrue\tTwo parts:\r\nresin and hardener\r\n",
     {"Bolt, M6 × 30", "Pipe 3/4\" brass", "Façade paint"}},
    {"stock.txt",
     15,
     "Item\tName\tStore\tOnHand\tUnitCost\tCounted\tReorder\r\n",
     "T100\tHammer\tÅrhus North\t0\t$2.50\t6/1/2024\tTrue\r\n",
     {"Screwdriver Ø3", "File ½ round", "Spokeshave"}},
};

class TSampleExport : public TTabulxFixture, public ::testing::WithParamInterface<TSample> {};
} // namespace

TEST_P(TSampleExport, EachFormat) {
    const TSample& sample = GetParam();
    struct TFormat {
        std::string Ext, Starts, Ends;
    };
    const TFormat formats[] = {
        {"txt", sample.Names, "\r\n"},
        {"htm", "<!DOCTYPE HTML", "</HTML>\r\n"},
        {"xml", "<?xml", "</DATAPACKET>\r\n"},
        {"rtf", "{\\rtf", "}"},
        {"xls", std::string("\x09\x08", 2), std::string("\x0A\0\0\0", 4)},
    };
    for (const TFormat& f : formats) {
        SCOPED_TRACE(std::string(sample.File) + " to " + f.Ext);
        fs::path dest = Dir / ("out." + f.Ext);
        TRun r = Tabulx({"-export", (SamplesDir / sample.File).string(), dest.string()});
        EXPECT_EQ(r.Status, 0) << r.Err;
        EXPECT_EQ(r.Out, std::to_string(sample.Records) + " records have been copied.\n");
        EXPECT_EQ(r.Err, "");
        std::string doc = Slurp(dest);
        ASSERT_GE(doc.size(), f.Starts.size() + f.Ends.size());
        EXPECT_EQ(doc.substr(0, f.Starts.size()), f.Starts);
        EXPECT_EQ(doc.substr(doc.size() - f.Ends.size()), f.Ends);
        for (const std::string& cell : sample.Cells) {
            bool found = false;
            for (const std::string& form : Forms(cell, f.Ext))
                found = found || doc.find(form) != std::string::npos;
            EXPECT_TRUE(found) << cell;
        }
        if (f.Ext == "txt") {
            EXPECT_NE(doc.find(std::string("\n") + sample.Row), std::string::npos) << doc;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, TSampleExport, ::testing::ValuesIn(Samples),
                         [](const ::testing::TestParamInfo<TSample>& p) {
                             std::string n = p.param.File;
                             n[n.find('.')] = '_';
                             return n;
                         });

TEST_F(TTabulxFixture, CommittedSamplesAreWhatTheGeneratorWrites) {
    TRun r = Run(MakeSamples.string(), {(Dir / "fresh").string()});
    ASSERT_EQ(r.Status, 0) << MakeSamples << ": " << r.Err;
    std::set<std::string> fresh, committed;
    for (const auto& e : fs::directory_iterator(Dir / "fresh"))
        fresh.insert(e.path().filename().string());
    const std::set<std::string> sources = {"CMakeLists.txt", "MakeSamples.cpp", ".gitattributes"};
    for (const auto& e : fs::directory_iterator(SamplesDir))
        if (!sources.count(e.path().filename().string()))
            committed.insert(e.path().filename().string());
    EXPECT_EQ(fresh, committed);
    EXPECT_GE(fresh.size(), 8u) << "dBase, Paradox, CSV and schema tables with their side files";
    for (const std::string& name : fresh)
        EXPECT_TRUE(Slurp(Dir / "fresh" / name) == Slurp(SamplesDir / name))
            << name << " differs from a fresh run: run make_samples on samples/";
}

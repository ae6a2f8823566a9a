#include "data/base/DatabaseError.h"
#include "export/KXExport2RTF.h"
#include "export/view/WindowlessTableView.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestTables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr const char* Head = "{\\rtf0\\ansi\r\n"
                             "{\\colortbl\\red0\\green0\\blue0;\\red255\\green255\\blue255;"
                             "\\red212\\green208\\blue200;}\r\n";

std::string Borders() {
    return "\\clbrdrl\\brdrs\\brdrcf0\r\n\\clbrdrt\\brdrs\\brdrcf0\r\n"
           "\\clbrdrb\\brdrs\\brdrcf0\r\n\\clbrdrr\\brdrs\\brdrcf0\r\n";
}

// One cell of a row definition, shaded with colour n.
std::string CellDef(int n, int edge) {
    const std::string c = std::to_string(n);
    return Borders() + "\\clshdng10000\\clcfpat" + c + "\\clcbpat" + c + "\\clshdng0\\cellx" +
           std::to_string(edge) + "\r\n";
}

size_t Count(const std::string& s, const std::string& what) {
    size_t n = 0;
    for (size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + what.size()))
        ++n;
    return n;
}

void WriteBytes(const std::string& path, const std::string& data) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    std::fwrite(data.data(), 1, data.size(), f);
    std::fclose(f);
}

std::string ReadFile(const std::string& path) {
    std::string data;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return "(missing)";
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        data.append(buf, n);
    std::fclose(f);
    return data;
}

// Like a pipe: what was written stays written.
struct TForwardOnlyStream : TStream {
    std::string Data;
    void Write(const void* data, size_t size) override {
        Data.append(static_cast<const char*>(data), size);
    }
    using TStream::Write;
    uint64_t Size() const override { return Data.size(); }
};

class TDpiMetrics : public TFixedFontMetrics {
public:
    explicit TDpiMetrics(int dpi) : fDpi(dpi) {}
    int PixelsPerInch() const override { return fDpi; }

private:
    int fDpi;
};

struct TRtfFixture : ::testing::Test {
    TMemTable Table;
    TDataSource Source{&Table};
    TWindowlessTableView View;
    TKXExport2RTF Writer;
    TFont Black; // MS Sans Serif 8, black

    TRtfFixture() { Black.Color = clBlack; }

    void Bind() {
        View.Bind(&Source);
        View.SetTitleFont(Black);
        View.SetFont(Black);
        Writer.SetGrid(&View);
        Writer.BuildMappings();
    }
    // Seven records R1..R7 in three fields R, S, T ("R1", "S1", "T1", ...).
    void BuildSeven() {
        Table.FieldDefs().Add("R", ftString, 4);
        Table.FieldDefs().Add("S", ftString, 4);
        Table.FieldDefs().Add("T", ftString, 4);
        Table.Open();
        for (char c = '1'; c <= '7'; ++c)
            Table.AppendRecord({TValue::OfText(std::string{'R', c}),
                                TValue::OfText(std::string{'S', c}),
                                TValue::OfText(std::string{'T', c})});
        Table.First();
        Bind();
        for (int i = 0; i < 3; ++i)
            View.Column(i).SetWidth(64);
    }
    std::string Run() {
        TMemoryStream s;
        Writer.ExportToStream(s);
        return s.Data();
    }
    // The document ExportToFile writes, into a folder of the case's own: ctest -j
    // runs the cases of this file side by side.
    std::string RunToFile() {
        const TTempFolder dir("rtf-writer-test");
        const std::string path = dir / "rtf_writer_test.rtf";
        Writer.ExportToFile(path);
        std::string onDisk = ReadFile(path);
        std::remove(path.c_str());
        return onDisk;
    }
    // The document written to an output that cannot take anything back.
    std::string RunForwardOnly() {
        TForwardOnlyStream s;
        Writer.ExportToStream(s);
        return s.Data;
    }
    // The document of a body that waits for the end before the head goes
    // out, as with a cell hook (here one that changes nothing).
    std::string Waited() {
        TGetCellParamsEvent saved = View.OnGetCellParams;
        View.OnGetCellParams = [](TTableView&, TColumn&, TDBGridCellParams&) {};
        std::string out = Run();
        View.OnGetCellParams = saved;
        return out;
    }
};

} // namespace

TEST_F(TRtfFixture, WorkedExampleOneColumnOneRecord) {
    MakeNameCityTable(Table, {{"Bob", "Oslo"}});
    Bind();
    View.SetFlat(false);
    TColumn& name = View.AddColumn("Name");
    name.SetWidth(64);
    name.SetColor(clWhite);
    name.SetAlignment(taLeftJustify);
    Writer.Mappings().Clear();
    Writer.BuildMappings();
    EXPECT_EQ(Run(), std::string(Head) +
                         "{\\fonttbl\\f0\\fnil MS Sans Serif;}\r\n"
                         "\\trowd\\trgaph40\r\n" +
                         CellDef(2, 960) +
                         "{\\trrh0\r\n"
                         "\\pard\\intbl{\\ql\\sb24\\sa24\\fs16\\f0\\cf0\\cb2 Name\\cell}\r\n"
                         "\\pard\\intbl\\row}\r\n"
                         "\\trowd\\trgaph40\r\n" +
                         CellDef(1, 960) +
                         "{\\trrh0\r\n"
                         "\\pard\\intbl{\\ql\\sb24\\sa24\\fs16\\f0\\cf0\\cb1 Bob\\cell}\r\n"
                         "\\pard\\intbl\\row}\r\n"
                         "}");
}

TEST_F(TRtfFixture, EmptyTableWithoutTitleIsTheHeadAndABrace) {
    MakeNameCityTable(Table, {});
    Bind();
    Writer.SetNeedTitle(false);
    EXPECT_EQ(Run(), std::string(Head) + "{\\fonttbl}\r\n}");
    // A second export starts from the same seeded tables.
    EXPECT_EQ(Run(), std::string(Head) + "{\\fonttbl}\r\n}");
}

TEST_F(TRtfFixture, ColourOfTheLastCellIsInTheTable) {
    MakeNameCityTable(Table, {{"Ann", "Rome"}, {"Bob", "Oslo"}});
    Bind();
    Writer.SetNeedTitle(false);
    View.OnGetCellParams = [](TTableView&, TColumn& column, TDBGridCellParams& p) {
        if (p.Text == "Oslo") p.Background = clRed;
        (void)column;
    };
    const std::string out = Run();
    EXPECT_NE(out.find("\\red255\\green0\\blue0;}"), std::string::npos) << out;
    EXPECT_NE(out.find("\\cb3 Oslo\\cell}"), std::string::npos);
    EXPECT_EQ(Count(out, "\\clcfpat3"), 1u);
}

TEST_F(TRtfFixture, WidthsAddUpAtTheDisplaysResolution) {
    MakeNameCityTable(Table, {{"Ann", "Rome"}});
    Bind();
    View.Column(0).SetWidth(64);
    View.Column(1).SetWidth(101);
    Writer.SetNeedTitle(false);
    // 101 px at 96 dpi is 1515 twips; the edges add the truncated widths.
    std::string out = Run();
    EXPECT_NE(out.find("\\cellx960\r\n"), std::string::npos);
    EXPECT_NE(out.find("\\cellx2475\r\n"), std::string::npos);
    TDpiMetrics dpi120(120);
    View.SetMetrics(&dpi120);
    View.Column(1).SetWidth(100);
    out = Run();
    EXPECT_NE(out.find("\\cellx768\r\n"), std::string::npos) << out;
    EXPECT_NE(out.find("\\cellx1968\r\n"), std::string::npos);
    View.SetMetrics(nullptr);
}

TEST_F(TRtfFixture, FormatPrefixFollowsTheCellsFontAndTheColumnsAlignment) {
    MakeNameCityTable(Table, {{"Ann", "Rome"}});
    Bind();
    Writer.SetNeedTitle(false);
    View.SetFlat(true);
    TFont f = Black;
    f.Name = "Arial";
    f.Size = 10;
    f.Style = fsBold | fsItalic | fsUnderline | fsStrikeOut;
    f.Color = clNavy;
    View.Column(0).SetFont(f);
    View.Column(0).SetAlignment(taRightJustify);
    TFont g = Black;
    g.Name = "ARIAL"; // the same font number as "Arial"
    View.Column(1).SetFont(g);
    View.Column(1).SetAlignment(taCenter);
    // The prepared alignment is not the one written: the column's own is.
    View.OnGetCellParams = [](TTableView&, TColumn&, TDBGridCellParams& p) {
        p.Alignment = taLeftJustify;
    };
    const std::string out = Run();
    EXPECT_NE(out.find("{\\fonttbl\\f0\\fnil Arial;}"), std::string::npos) << out;
    EXPECT_NE(out.find("\\pard\\intbl{\\qr\\sb12\\sa12\\fs20\\b\\i\\strike\\ul\\f0\\cf3\\cb1 Ann"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("\\pard\\intbl{\\qc\\sb12\\sa12\\fs16\\f0\\cf0\\cb1 Rome"),
              std::string::npos);
    EXPECT_NE(out.find("\\red0\\green0\\blue128;"), std::string::npos);
}

TEST_F(TRtfFixture, TextsCannotBreakTheGroupingAndKeepEveryCharacter) {
    Table.FieldDefs().Add("Notes", ftMemo);
    Table.Open();
    Table.AppendRecord({TValue::OfText("a{b}c\\d")});
    Table.AppendRecord({TValue::OfText("Zo\xC3\xAB \xE4\xB8\xAD \xF0\x9D\x84\x9E \xE2\x82\xAC")});
    Table.AppendRecord({TValue::OfText("one\r\ntwo\nthree")});
    Table.AppendRecord({TValue::OfText("bad \xC3 byte")});
    Table.First();
    Bind();
    View.Column(0).SetTitleCaption("{Notes}");
    Writer.SetIncludeMemo(true);
    const std::string out = Run();
    EXPECT_NE(out.find(" \\{Notes\\}\\cell}"), std::string::npos) << out;
    EXPECT_NE(out.find(" a\\{b\\}c\\\\d\\cell}"), std::string::npos);
    // U+1D11E as the pair D834 DD1E, each unit a signed 16-bit number.
    EXPECT_NE(out.find(" Zo\\u235? \\u20013? \\u-10188?\\u-8930? \\u8364?\\cell}"),
              std::string::npos);
    EXPECT_NE(out.find(" one\\line \r\ntwo\\line \nthree\\cell}"), std::string::npos);
    EXPECT_NE(out.find(" bad \\u-3? byte\\cell}"), std::string::npos);
    // Every brace that opens closes again.
    int depth = 0;
    for (size_t i = 0; i < out.size(); ++i) {
        if (out[i] == '\\') {
            ++i;
            continue;
        }
        if (out[i] == '{') ++depth;
        if (out[i] == '}') {
            ASSERT_GT(depth--, 0) << "at " << i;
        }
        ASSERT_LT(static_cast<unsigned char>(out[i]), 0x80) << "8-bit byte at " << i;
    }
    EXPECT_EQ(depth, 0);
}

TEST_F(TRtfFixture, SevenRecordsThreePerLineCompleteTheLastLine) {
    BuildSeven();
    Writer.SetDestCols(3);
    const std::string out = Run();
    // Title, then three record lines of nine cells each.
    EXPECT_EQ(Count(out, "\\trowd"), 4u);
    EXPECT_EQ(Count(out, "\\cellx"), 36u);
    EXPECT_EQ(Count(out, "\\pard\\intbl\\row}"), 4u);
    const size_t last = out.rfind("\\trowd");
    const std::string line = out.substr(last);
    EXPECT_EQ(Count(line, "\\cellx"), 9u);
    EXPECT_EQ(Count(line, "\\cell}"), 9u);
    EXPECT_NE(line.find(" R7\\cell}"), std::string::npos);
    EXPECT_NE(line.find(" T7\\cell}"), std::string::npos);
    EXPECT_EQ(Count(line, "\\cb1 \\cell}"), 6u); // two groups of empty cells
    EXPECT_NE(line.find("\\cellx8640\r\n{\\trrh0"), std::string::npos);
    const std::string end = "\\pard\\intbl\\row}\r\n}";
    EXPECT_EQ(line.substr(line.size() - end.size()), end);
    EXPECT_EQ(Writer.WrittenCount(), 7);
    // The records stand in order: the look-ahead put the cursor back.
    size_t at = 0;
    for (char c = '1'; c <= '7'; ++c) {
        at = out.find(std::string(" R") + c + "\\cell}", at);
        ASSERT_NE(at, std::string::npos) << c;
    }
}

// Group k of a line is shaded from the k-th record after the line's first;
// where the data ends, from the last record.
TEST_F(TRtfFixture, LookAheadShadingAndTheEndOfTheData) {
    BuildSeven();
    Writer.SetDestCols(3);
    Writer.SetNeedTitle(false);
    View.OnGetCellParams = [](TTableView& view, TColumn&, TDBGridCellParams& p) {
        TDataSet* ds = view.DataSet();
        const std::string r = ds ? ds->Fields(0).AsString() : std::string();
        p.Background = r == "R6" ? clRed : r == "R7" ? clYellow : clWhite;
    };
    const std::string out = Run();
    // Red is entered at R6 (number 3), yellow at R7 (number 4).
    const size_t second = out.find("\\trowd", out.find("\\trowd") + 1);
    const size_t third = out.rfind("\\trowd");
    const std::string line2 = out.substr(second, third - second);
    const std::string line3 = out.substr(third);
    EXPECT_EQ(Count(line2, "\\clcfpat1\\"), 6u);
    EXPECT_EQ(Count(line2, "\\clcfpat3\\"), 3u);
    EXPECT_EQ(Count(line3, "\\clcfpat4\\"), 9u) << line3;
    // The cells of the completion are prepared on the record the export
    // started from (R1, white); the real cells carry their own colour.
    EXPECT_EQ(Count(line3, "\\cb1 \\cell}"), 6u);
    EXPECT_EQ(Count(line3, "\\cb4 R7\\cell}"), 1u);
    EXPECT_EQ(Table.FieldByName("R").AsString(), "R1");
}

TEST_F(TRtfFixture, ExactMultipleNeedsNoCompletion) {
    BuildSeven();
    Writer.SetDestCols(7);
    Writer.SetNeedTitle(false);
    const std::string out = Run();
    EXPECT_EQ(Count(out, "\\trowd"), 1u);
    EXPECT_EQ(Count(out, "\\cell}"), 21u);
    EXPECT_EQ(Count(out, "\\pard\\intbl\\row}"), 1u);
}

TEST_F(TRtfFixture, FailedExportLeavesTheStreamEmpty) {
    BuildSeven();
    View.OnGetCellParams = [](TTableView& view, TColumn&, TDBGridCellParams&) {
        TDataSet* ds = view.DataSet();
        if (ds && ds->Fields(0).AsString() == "R5") throw EDatabaseError("read failed");
    };
    TMemoryStream s;
    EXPECT_THROW(Writer.ExportToStream(s), EDatabaseError);
    EXPECT_EQ(s.Size(), 0u);
    View.OnGetCellParams = nullptr;
    EXPECT_EQ(Count(Run(), "\\trowd"), 8u);
}

TEST_F(TRtfFixture, NoColumnsNoRows) {
    BuildSeven();
    Writer.Mappings().Clear();
    const std::string out = Run();
    EXPECT_EQ(out, std::string(Head) + "{\\fonttbl}\r\n}");
    EXPECT_EQ(Writer.WrittenCount(), 7);
}

// A body past the memory limit of the spill stream must come out whole, the
// same to a file as to a stream.
TEST_F(TRtfFixture, ALargeBodyComesOutWhole) {
    MakeNumberedTable(Table, 30000);
    Bind();
    const std::string inMemory = Run();
    ASSERT_GT(inMemory.size(), 9u << 20);
    EXPECT_EQ(Count(inMemory, "\\trowd"), 30001u);
    EXPECT_NE(inMemory.find("N30000"), std::string::npos);
    EXPECT_EQ(inMemory.back(), '}');
    EXPECT_TRUE(RunToFile() == inMemory);
    EXPECT_TRUE(RunForwardOnly() == inMemory);
}

// Without a cell hook the head goes out after the first record and the body
// follows it straight; with one the body waits until the end. Both ways must
// give the same document, the same to a file as to a stream, with the
// titles' and the columns' own fonts and colours, one record to a line or
// more.
TEST_F(TRtfFixture, TheBodyGoesStraightOutOnceTheTablesAreComplete) {
    MakeNumberedTable(Table, 30000);
    Bind();
    TFont arial = Black;
    arial.Name = "Arial";
    arial.Color = clNavy;
    arial.Style = fsItalic;
    View.Column(0).SetFont(arial);
    View.Column(0).SetColor(clYellow);
    View.Column(1).SetTitleColor(clAqua);
    TFont courier = Black;
    courier.Name = "Courier New";
    courier.Color = clMaroon;
    View.Column(1).SetTitleFont(courier);
    for (int perLine : {1, 3}) {
        Writer.SetDestCols(perLine);
        const std::string direct = Run();
        const std::string waited = Waited();
        ASSERT_GT(waited.size(), 9u << 20) << "the body must spill to the file";
        EXPECT_TRUE(direct == waited) << perLine;
        EXPECT_NE(direct.find("{\\fonttbl\\f0\\fnil MS Sans Serif;\\f1\\fnil Courier New;"
                              "\\f2\\fnil Arial;}\r\n\\trowd"),
                  std::string::npos);
        EXPECT_NE(direct.find("\\i\\f2\\cf6\\cb5 30000\\cell}\r\n"
                              "\\pard\\intbl{\\ql\\sb12\\sa12\\fs16\\f0\\cf0\\cb1 N30000\\cell}"),
                  std::string::npos);
        EXPECT_TRUE(RunToFile() == direct) << perLine;
    }
}

// A file export writes the body as it goes, not after the walk: its
// temporary beside the destination grows while the records are written.
TEST_F(TRtfFixture, AFileExportWritesTheBodyAsItGoes) {
    MakeNumberedTable(Table, 30000);
    Bind();
    const std::string dir = ::testing::TempDir() + "/rtf_as_it_goes";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directory(dir);
    uintmax_t grown = 0;
    Writer.AfterWriteRow = [&](TKXExport& w) {
        if (w.WrittenCount() != 20000) return;
        for (const auto& e : std::filesystem::directory_iterator(dir))
            grown = std::max(grown, std::filesystem::file_size(e.path()));
    };
    Writer.ExportToFile(dir + "/out.rtf");
    EXPECT_GT(grown, 1u << 20) << "the body waited in the spill stream";
    std::filesystem::remove_all(dir);
}

// A handler that changes a column during the walk, once the head has gone
// out: to a font or colour the tables hold already, to new ones, or a cell
// hook from then on. Each gives the document of a body that waits for the
// end, to memory, to a file and to an output that cannot take anything back.
TEST_F(TRtfFixture, AColumnChangedDuringTheWalk) {
    BuildSeven();
    Writer.SetNeedTitle(false);
    TFont bold = Black;
    bold.Style = fsBold;
    TFont courier = Black;
    courier.Name = "Courier New";
    const std::vector<std::pair<std::function<void()>, std::string>> changes = {
        {[&] { View.Column(2).SetFont(bold); }, "\\fs16\\b\\f0\\cf0\\cb1 T4\\cell}"},
        {[&] { View.Column(2).SetFont(courier); }, "\\fs16\\f1\\cf0\\cb1 T4\\cell}"},
        {[&] { View.Column(0).SetColor(clRed); }, "\\f0\\cf0\\cb3 R4\\cell}"},
        {[&] {
             View.OnGetCellParams = [](TTableView&, TColumn&, TDBGridCellParams& p) {
                 if (p.Text == "S5") p.Background = clYellow;
             };
         },
         "\\f0\\cf0\\cb3 S5\\cell}"},
    };
    for (const auto& [change, changedCell] : changes) {
        Writer.AfterWriteRow = [&, change = change](TKXExport& w) {
            if (w.WrittenCount() == 3) change();
        };
        const auto reset = [&] {
            View.OnGetCellParams = nullptr;
            for (int i = 0; i < 3; ++i) {
                View.Column(i).RestoreDefaults();
                View.Column(i).SetWidth(64);
            }
        };
        reset();
        const std::string waited = Waited();
        reset();
        EXPECT_EQ(Run(), waited) << changedCell;
        reset();
        EXPECT_EQ(RunToFile(), waited) << changedCell;
        reset();
        EXPECT_EQ(RunForwardOnly(), waited) << changedCell;
        reset();
        EXPECT_NE(waited.find(changedCell), std::string::npos) << waited;
        EXPECT_NE(waited.find("\\f0\\cf0\\cb1 T3\\cell}"), std::string::npos) << waited;
        EXPECT_EQ(Count(waited, "\\trowd"), 7u);
    }
    Writer.AfterWriteRow = nullptr;
    EXPECT_NE(Run().find("{\\fonttbl\\f0\\fnil MS Sans Serif;}"), std::string::npos);
}

// The same with a large body: what went out after the head comes back
// through the spill file, from memory and from a file whose writes run on
// a thread of their own.
TEST_F(TRtfFixture, ALargeBodyTakenBackWhenAColumnChanges) {
    MakeNumberedTable(Table, 30000);
    Bind();
    TFont arial = Black;
    arial.Name = "Arial";
    Writer.AfterWriteRow = [&](TKXExport& w) {
        if (w.WrittenCount() == 20000) View.Column(1).SetFont(arial);
    };
    const std::string waited = Waited();
    ASSERT_NE(waited.find("\\f1\\fnil Arial;}"), std::string::npos);
    ASSERT_NE(waited.find("\\f1\\cf0\\cb1 N20001\\cell}"), std::string::npos);
    View.Column(1).RestoreDefaults();
    EXPECT_TRUE(Run() == waited);
    View.Column(1).RestoreDefaults();
    EXPECT_TRUE(RunToFile() == waited);
}

// After a failure the stream holds nothing of the document, also once the
// head and many rows had gone out: what it held before stays, and no more.
TEST_F(TRtfFixture, AFailureLeavesNothingOfTheDocument) {
    MakeNumberedTable(Table, 30000);
    Bind();
    Writer.AfterWriteRow = [&](TKXExport& w) {
        if (w.WrittenCount() == 20000) throw EDatabaseError("read failed");
    };
    TMemoryStream memory;
    memory.Write("before");
    EXPECT_THROW(Writer.ExportToStream(memory), EDatabaseError);
    EXPECT_EQ(memory.Data(), "before");
    TForwardOnlyStream pipe;
    EXPECT_THROW(Writer.ExportToStream(pipe), EDatabaseError);
    EXPECT_EQ(pipe.Data, "");

    // A file the caller opened and wrote to, past its writer thread's start.
    const std::string path = ::testing::TempDir() + "/rtf_failure.rtf";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "head of the file", 16), 16);
    {
        TFileStream file(fd, path);
        file.Write("before");
        EXPECT_THROW(Writer.ExportToStream(file), EDatabaseError);
        file.Write(" after");
        file.Close();
    }
    EXPECT_EQ(ReadFile(path), "head of the filebefore after");

    // A file export leaves the file at the destination as it was.
    WriteBytes(path, "old document");
    EXPECT_THROW(Writer.ExportToFile(path), EDatabaseError);
    EXPECT_EQ(ReadFile(path), "old document");
    std::remove(path.c_str());
    std::remove((path + ".partial").c_str());
}

// The control words before a text are kept per column; a cell that the hook
// gives another colour, and the plain cells after it, must each carry their
// own.
TEST_F(TRtfFixture, CellsOfOneColumnKeepTheirOwnFormat) {
    BuildSeven();
    Writer.SetNeedTitle(false);
    View.OnGetCellParams = [](TTableView&, TColumn&, TDBGridCellParams& p) {
        if (p.Text == "S2" || p.Text == "S3") p.Background = clRed;
        if (p.Text == "S5") p.Background = clWindow; // white by another name
    };
    const std::string out = Run();
    for (char c = '1'; c <= '7'; ++c) {
        const std::string cb = c == '2' || c == '3' ? "\\cb3 " : "\\cb1 ";
        EXPECT_EQ(Count(out, "\\f0\\cf0" + cb + "S" + c + "\\cell}"), 1u) << c;
        EXPECT_EQ(Count(out, "\\f0\\cf0\\cb1 R" + std::string(1, c) + "\\cell}"), 1u) << c;
    }
    // Lines shaded alike are defined alike; the red line has its own.
    EXPECT_EQ(Count(out, "\\clcfpat3"), 2u);
}

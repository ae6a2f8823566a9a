// The real program on a private X server, driven as a user drives it:
// mouse clicks on its buttons and titles, keys and typed text, its dialogs
// waited for by their captions. What the window shows is read back through
// the desktop's clipboard (a cell copied from the grid's editor) and the
// screen's pixels. A failure says what was on the screen and where its
// screenshot is.
#include "tests/e2e/XSession.h"
#include "tests/readers/ReaderUtils.h"
#include "tests/support/TempFolder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {
const fs::path Samples = TABULON_SAMPLES_DIR;
const fs::path Shots = TABULON_E2E_SHOTS_DIR;

// Points of the main window, which opens at its designed 572 x 389 pixels
// at the screen's top left (no window manager places it).
struct TPoint {
    int X, Y;
};
constexpr TPoint OpenButton{16, 16};
constexpr TPoint ExportButton{42, 16};
constexpr TPoint FixButton{68, 16};
constexpr TPoint HelpButton{130, 16};
constexpr TPoint SearchBox{100, 48};
constexpr TPoint FilterBox{400, 48};
constexpr TPoint NameTitle{200, 75};
// Inside the first row's name cell, and the third row's cells, off their text.
constexpr TPoint FirstNameCell{250, 93};
constexpr TPoint ThirdIdCell{30, 129};
constexpr TPoint ThirdNameCell{250, 129};
constexpr TPoint ThirdCityCell{400, 129};
// The grid below its last row: a click there only gives it the focus.
constexpr TPoint BelowTheRows{300, 300};

// Points of the export options dialog, from its top left corner: the
// labels of the action and format items, and OK.
TPoint ActionItem(int i) {
    return {56 + 155 * (i / 2), 31 + 20 * (i % 2)};
}
TPoint FormatItem(int i) {
    return {56, 101 + 14 * i};
}
constexpr TPoint OkButton{120, 436};

// A reader's output with every hexadecimal token (how the reader scripts
// write texts) decoded, one token a line.
std::string DecodedTokens(const std::string& output) {
    std::string out, token;
    auto flush = [&] {
        const bool hex = token.size() >= 2 && token.size() % 2 == 0 &&
                         token.find_first_not_of("0123456789abcdef") == std::string::npos;
        if (hex)
            for (size_t i = 0; i < token.size(); i += 2)
                out += static_cast<char>(std::stoi(token.substr(i, 2), nullptr, 16));
        else
            out += token;
        out += '\n';
        token.clear();
    };
    for (char c : output) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '|')
            flush();
        else
            token += c;
    }
    flush();
    return out;
}

// The names of the records that pass BALANCE > 0, in name order, each once,
// and none of the others.
void ExpectTheFilteredSortedNames(const std::string& text, const std::string& what) {
    size_t at = 0;
    for (const char* name : {"Ann Berg", "Chloé Dupré", "Jörg Müller"}) {
        const size_t found = text.find(name);
        EXPECT_NE(found, std::string::npos) << what << " lacks " << name << ":\n" << text;
        if (found == std::string::npos) continue;
        EXPECT_GE(found, at) << what << ": " << name << " out of order:\n" << text;
        EXPECT_EQ(text.find(name, found + 1), std::string::npos)
            << what << ": " << name << " twice";
        at = found;
    }
    for (const char* name : {"Zoë Ærø", "Bob Král"})
        EXPECT_EQ(text.find(name), std::string::npos) << what << " holds " << name;
}

class TEndToEndTest : public ::testing::Test {
protected:
    static inline std::unique_ptr<TXSession> X;

    static void SetUpTestSuite() { X = std::make_unique<TXSession>(); }
    static void TearDownTestSuite() { X.reset(); }

    TTempFolder Dir{"tabulon-e2e"};
    pid_t App = -1;
    std::string Main; // the main window
    int Shot = 0;

    void SetUp() override {
        ASSERT_TRUE(X->Ok()) << X->Problem();
        for (const char* f : {"customers.dbf", "customers.dbt"})
            fs::copy_file(Samples / f, Dir.Path() / f);
        fs::create_directories(Dir.Path() / "home");
        fs::create_directories(Shots);
    }
    void TearDown() override {
        if (App > 0) X->Stop(App);
    }

    fs::path Log() const { return Dir.Path() / "tabulx.log"; }

    // Starts the program with settings of its own and waits for its window.
    // The program's window takes the keys once clicked, as with no window
    // manager nothing gives it the focus before.
    void StartProgram(const std::vector<std::string>& args, const std::string& caption,
                      const TXSession::TEnv& more = {}, const fs::path& program = TABULX_PATH) {
        std::vector<std::string> argv{program.string()};
        argv.insert(argv.end(), args.begin(), args.end());
        const std::string home = (Dir.Path() / "home").string();
        TXSession::TEnv env{{"HOME", home},
                            {"XDG_CONFIG_HOME", home + "/.config"},
                            {"XDG_RUNTIME_DIR", std::nullopt},
                            {"QT_QPA_PLATFORM", "xcb"},
                            {"WAYLAND_DISPLAY", std::nullopt},
                            {"LC_ALL", "C.UTF-8"}};
        env.insert(env.end(), more.begin(), more.end());
        App = X->Start(argv, env, Log());
        ASSERT_GT(App, 0);
        Main = X->WaitForWindow(caption, 20);
        ASSERT_FALSE(Main.empty()) << Saw("the main window");
        Click(BelowTheRows);
    }

    // What was there when a step failed: the windows, a screenshot, the
    // program's output.
    std::string Saw(const std::string& step) {
        std::ostringstream out;
        const fs::path png =
            Shots / (std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
                     "-" + std::to_string(++Shot) + ".png");
        out << "waiting for " << step << "; the windows were:\n" << X->Windows();
        out << "screenshot: " << (X->Screenshot(png) ? png.string() : "(none taken)") << "\n";
        std::ifstream log(Log());
        std::stringstream text;
        text << log.rdbuf();
        out << "the program's output:\n" << text.str();
        int status = 0;
        if (App > 0 && !X->Running(App, &status)) {
            out << "the program had ended with status " << status << "\n";
            App = -1;
        }
        return out.str();
    }

    // A stand-in of the desktop's opener on PATH: it writes what it was
    // asked to open into xdg-open.args beside it.
    fs::path Tools() const { return Dir.Path() / "tools"; }
    void WriteOpener() const {
        fs::create_directories(Tools());
        const fs::path opener = Tools() / "xdg-open";
        std::ofstream(opener) << "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args.tmp\"\n"
                                 "mv \"$0.args.tmp\" \"$0.args\"\n";
        fs::permissions(opener, fs::perms::owner_all);
    }
    // What the opener was asked to open, waited for; empty when it was not.
    std::string Opened(double seconds = 10) const {
        const fs::path args = Tools() / "xdg-open.args";
        std::string text;
        TXSession::Poll(seconds, [&] {
            std::ifstream in(args);
            std::getline(in, text);
            return !text.empty();
        });
        fs::remove(args);
        return text;
    }
    TXSession::TEnv WithTools() const {
        return {{"PATH", Tools().string() + ":" + std::getenv("PATH")},
                {"XDG_CURRENT_DESKTOP", std::nullopt},
                {"DESKTOP_SESSION", std::nullopt},
                {"BROWSER", std::nullopt}};
    }

    // One export through the export button: the options dialog's action
    // and format, the save dialog with the file's path typed (for the
    // actions that write a file), the result box closed with Enter.
    void ExportThroughTheDialog(int action, int format, const fs::path& file) {
        Click(ExportButton);
        const std::string dialog = X->WaitForWindow("^Export data$");
        ASSERT_FALSE(dialog.empty()) << Saw("the export options dialog");
        for (TPoint p : {FormatItem(format), ActionItem(action), OkButton})
            ASSERT_TRUE(X->Click(dialog, p.X, p.Y));
        ASSERT_TRUE(X->WaitUntilGone("^Export data$")) << Saw("the options dialog to close");
        if (!file.empty()) {
            ASSERT_FALSE(X->WaitForWindow("^Save As$").empty()) << Saw("the save dialog");
            ASSERT_TRUE(X->Keys({"ctrl+a"}));
            ASSERT_TRUE(X->Type(file.string()));
            ASSERT_TRUE(X->Keys({"Return"}));
            ASSERT_TRUE(X->WaitUntilGone("^Save As$")) << Saw("the save dialog to close");
        }
        // The result box is titled as the main window is without a table.
        ASSERT_FALSE(X->WaitForWindow("^Tabulon$", 30).empty()) << Saw("the result box");
        ASSERT_TRUE(X->Keys({"Return"}));
        ASSERT_TRUE(X->WaitUntilGone("^Tabulon$")) << Saw("the result box to close");
        ASSERT_TRUE(X->Focus(Main));
    }

    void Click(TPoint p) { ASSERT_TRUE(X->Click(Main, p.X, p.Y)) << Saw("a click"); }

    // The current cell's text, copied from the grid's editor (F2, select
    // all, copy, Esc leaves the record as it was) and read from the
    // clipboard; the grid must have the focus.
    void ExpectCurrentCell(const std::string& text) {
        ASSERT_TRUE(X->Keys({"F2", "ctrl+a", "ctrl+c", "Escape"}));
        EXPECT_TRUE(X->WaitForClipboard(text))
            << "the clipboard held \"" << X->Clipboard() << "\"\n"
            << Saw("the current cell " + text);
    }
};
} // namespace

TEST_F(TEndToEndTest, OpensSortsFiltersSearchesAndFreezesAsAUserDoes) {
    StartProgram({}, "^Tabulon$");

    // The open dialog: the path typed into its name box, then Enter.
    Click(OpenButton);
    ASSERT_FALSE(X->WaitForWindow("^Open$").empty()) << Saw("the open dialog");
    ASSERT_TRUE(X->Type((Dir.Path() / "customers.dbf").string()));
    ASSERT_TRUE(X->Keys({"Return"}));
    ASSERT_FALSE(X->WaitForWindow("^Tabulon - customers\\.dbf$").empty()) << Saw("the table");
    ASSERT_TRUE(X->WaitUntilGone("^Open$")) << Saw("the open dialog to close");
    // What a window manager does when a dialog closes: the keys go to the
    // window under it again.
    ASSERT_TRUE(X->Focus(Main));

    // The file's order: the last record is Chloé's.
    Click(FirstNameCell);
    ExpectCurrentCell("Ann Berg");
    ASSERT_TRUE(X->Keys({"ctrl+End"}));
    ExpectCurrentCell("Chloé Dupré");

    // A click on the title sorts by names: Zoë's comes last.
    Click(NameTitle);
    Click(FirstNameCell);
    ExpectCurrentCell("Ann Berg");
    ASSERT_TRUE(X->Keys({"ctrl+End"}));
    ExpectCurrentCell("Zoë Ærø");

    // A filter typed over the one proposed from the cell, switched on by
    // Enter: of the positive balances, in name order, Jörg's comes last.
    Click(FilterBox);
    ASSERT_TRUE(X->Keys({"ctrl+a"}));
    ASSERT_TRUE(X->Type("BALANCE > 0"));
    ASSERT_TRUE(X->Keys({"Return"}));
    Click(FirstNameCell);
    ExpectCurrentCell("Ann Berg");
    ASSERT_TRUE(X->Keys({"ctrl+End"}));
    ExpectCurrentCell("Jörg Müller");

    // Search in the current column, by the start of a name, any letter case.
    Click(FirstNameCell);
    Click(SearchBox);
    ASSERT_TRUE(X->Type("chl"));
    ASSERT_TRUE(X->Keys({"Return"}));
    Click(BelowTheRows);
    ExpectCurrentCell("Chloé Dupré");

    // Freezing up to the current column (the names) paints the two first
    // columns in the fixed cells' colour; the third stays a data cell. The
    // pixels are of a row that is not the current one.
    Click(FirstNameCell);
    const std::string dataColour = X->Pixel(ThirdCityCell.X, ThirdCityCell.Y);
    ASSERT_EQ(X->Pixel(ThirdIdCell.X, ThirdIdCell.Y), dataColour) << Saw("unfrozen columns");
    ASSERT_EQ(X->Pixel(ThirdNameCell.X, ThirdNameCell.Y), dataColour) << Saw("unfrozen columns");
    Click(FixButton);
    EXPECT_TRUE(X->WaitForPixel(ThirdIdCell.X, ThirdIdCell.Y, dataColour, false))
        << Saw("the first column frozen");
    const std::string fixedColour = X->Pixel(ThirdIdCell.X, ThirdIdCell.Y);
    EXPECT_EQ(X->Pixel(ThirdNameCell.X, ThirdNameCell.Y), fixedColour)
        << Saw("the second column frozen");
    EXPECT_EQ(X->Pixel(ThirdCityCell.X, ThirdCityCell.Y), dataColour)
        << Saw("the third column not frozen");
    // Pressed with the last column current, it unfreezes all.
    Click(ThirdCityCell);
    ASSERT_TRUE(X->Keys({"End"}));
    Click(FixButton);
    EXPECT_TRUE(X->WaitForPixel(ThirdNameCell.X, ThirdNameCell.Y, dataColour))
        << Saw("the columns unfrozen");

    EXPECT_TRUE(X->Running(App)) << Saw("the program still running");
}

TEST_F(TEndToEndTest, HelpOpensThePageOfTheBuildTreeOrSaysWhereItIsMissing) {
    WriteOpener();
    const std::string table = (Dir.Path() / "customers.dbf").string();
    StartProgram({table}, "^Tabulon - customers\\.dbf$", WithTools());
    const fs::path page = fs::path(TABULX_PATH).parent_path().parent_path() / "share" / "tabulon" /
                          "help" / "index.html";
    ASSERT_TRUE(fs::is_regular_file(page)) << page;
    const std::string url = "file://" + page.string();

    ASSERT_TRUE(X->Keys({"F1"}));
    EXPECT_EQ(Opened(), url) << Saw("F1 to open the help page");
    Click(HelpButton);
    EXPECT_EQ(Opened(), url) << Saw("the help button to open the help page");
    X->Stop(App);

    // A copy of the program without its data beside it: a box instead of
    // the browser, and the window goes on.
    fs::create_directories(Dir.Path() / "bare" / "bin");
    const fs::path bare = Dir.Path() / "bare" / "bin" / "tabulx";
    fs::copy_file(TABULX_PATH, bare);
    StartProgram({table}, "^Tabulon - customers\\.dbf$", WithTools(), bare);
    ASSERT_TRUE(X->Keys({"F1"}));
    const std::string box = X->WaitForWindow("^Tabulon$");
    ASSERT_FALSE(box.empty()) << Saw("the box saying the help is missing");
    EXPECT_EQ(Opened(1), "") << "nothing was to be opened";
    ASSERT_TRUE(X->Keys({"Return"}));
    EXPECT_TRUE(X->WaitUntilGone("^Tabulon$")) << Saw("the box to close");
    EXPECT_TRUE(X->Running(App)) << Saw("the program still running");
}

// Sorted by a title click and filtered, the table goes through the export
// button to a file of every format and to the clipboard; each document is
// read back by a real reader (the reader tests' parsers, LibreOffice) and
// holds the records that passed, in the grid's order.
TEST_F(TEndToEndTest, ExportsEveryFormatAndToTheClipboardThroughTheExportButton) {
    // Opened through the connection-string engine: the other one sorts only
    // by an index, and the table has none.
    StartProgram({"-ado", (Dir.Path() / "customers.dbf").string()}, "^Tabulon - customers\\.dbf$");
    Click(NameTitle);
    Click(FilterBox);
    ASSERT_TRUE(X->Keys({"ctrl+a"}));
    ASSERT_TRUE(X->Type("BALANCE > 0"));
    ASSERT_TRUE(X->Keys({"Return"}));
    Click(FirstNameCell);
    ASSERT_TRUE(X->Keys({"ctrl+End"}));
    ExpectCurrentCell("Jörg Müller");

    const fs::path out = Dir.Path() / "out";
    fs::create_directories(out);
    const char* const extensions[] = {"txt", "htm", "xml", "rtf", "xls", "xlsx"};
    for (int format = 0; format < 6; ++format) {
        SCOPED_TRACE(extensions[format]);
        const fs::path file = out / (std::string("customers.") + extensions[format]);
        ExportThroughTheDialog(0, format, file);
        ASSERT_TRUE(fs::is_regular_file(file)) << Saw(file.string());
    }

    // Text: the titles, then the three records, tab-separated.
    const std::string text = readers::ReadFile(out / "customers.txt");
    EXPECT_EQ(text.rfind("ID\tNAME\tCITY\tBALANCE\t", 0), 0u) << text;
    EXPECT_NE(text.find("\n1\tAnn Berg\tOslo\t1250.5\t"), std::string::npos) << text;
    EXPECT_NE(text.find("\n4\tJörg Müller\tKöln\t99999.99\t"), std::string::npos) << text;
    ExpectTheFilteredSortedNames(text, "the text document");

    for (const auto& [script, file] :
         std::vector<std::pair<const char*, const char*>>{{"parse_html.py", "customers.htm"},
                                                          {"parse_xml.py", "customers.xml"},
                                                          {"xlsx_cells.py", "customers.xlsx"}}) {
        const readers::TRunResult r = readers::RunPython(script, {(out / file).string()});
        ASSERT_EQ(r.ExitCode, 0) << script << ": " << r.Output;
        ExpectTheFilteredSortedNames(DecodedTokens(r.Output), file);
    }
    // RTF and XLS as LibreOffice reads them.
    const fs::path html =
        readers::ConvertWithLibreOffice(out / "customers.rtf", "html", Dir.Path());
    ASSERT_FALSE(html.empty());
    readers::TRunResult r = readers::RunPython("rtf_cells.py", {html.string()});
    ASSERT_EQ(r.ExitCode, 0) << r.Output;
    ExpectTheFilteredSortedNames(r.Output, "customers.rtf");
    const fs::path fods =
        readers::ConvertWithLibreOffice(out / "customers.xls", "fods", Dir.Path());
    ASSERT_FALSE(fods.empty());
    r = readers::RunPython("sheet_cells.py", {fods.string()});
    ASSERT_EQ(r.ExitCode, 0) << r.Output;
    ExpectTheFilteredSortedNames(DecodedTokens(r.Output), "customers.xls");

    // The clipboard: the text document itself, read back from the desktop.
    ExportThroughTheDialog(1, 0, {});
    EXPECT_TRUE(X->WaitForClipboard(text)) << "the clipboard held \"" << X->Clipboard() << "\"\n"
                                           << Saw("the table on the clipboard");
    EXPECT_TRUE(X->Running(App)) << Saw("the program still running");
}

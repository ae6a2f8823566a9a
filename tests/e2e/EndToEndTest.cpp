// The real program on a private X server, driven as a user drives it:
// mouse clicks on its buttons and titles, keys and typed text, its dialogs
// waited for by their captions. What the window shows is read back through
// the desktop's clipboard (a cell copied from the grid's editor) and the
// screen's pixels. A failure says what was on the screen and where its
// screenshot is.
#include "tests/e2e/XSession.h"
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

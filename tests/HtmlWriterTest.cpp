#include "export/KXExport2HTML.h"
#include "export/view/WindowlessTableView.h"
#include "tests/support/PictureTestSupport.h"
#include "tests/support/TestTables.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const std::string Doctype = "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\">\r\n";
const std::string Body = "<BODY BGCOLOR=\"#FFFFFF\" TEXT=\"#000000\">\r\n";
const std::string Tail = "</TABLE>\r\n</BODY>\r\n</HTML>\r\n";
const std::string CellFont =
    "<FONT STYLE=\"font-family: MS Sans Serif; font-size: 8pt; color: #000000\">";
const std::string TitleFont =
    "<FONT STYLE=\"font-family: MS Sans Serif; font-size: 8pt; color: #0000FF\">";

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

struct TTempFolder {
    fs::path Path;
    TTempFolder() {
        std::string tmpl = (fs::temp_directory_path() / "html-test-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp");
        Path = tmpl;
    }
    ~TTempFolder() {
        std::error_code ec;
        fs::remove_all(Path, ec);
    }
};

struct THtmlFixture : ::testing::Test {
    TMemTable Table;
    TDataSource Source{&Table};
    TWindowlessTableView View;
    TKXExport2HTML Writer;
    TTempFolder Folder;

    void Bind() {
        View.Bind(&Source);
        Writer.SetGrid(&View);
        Writer.BuildMappings();
    }
    std::string Run() {
        TMemoryStream s;
        Writer.ExportToStream(s);
        return s.Data();
    }
    // Exports into Folder/name and returns the document.
    std::string RunToFile(const std::string& name) {
        Writer.ExportToFile((Folder.Path / name).string());
        return Slurp(Folder.Path / name);
    }
    // The data cells of the document, one per line, without their TD and FONT.
    static std::string Head(const std::string& title = "") {
        return Doctype + "<HTML>\r\n<HEAD>\r\n" + title + "</HEAD>\r\n" + Body;
    }
};

std::string DataCell(int width, const std::string& text, const std::string& align = "LEFT",
                     const std::string& bg = "FFFFFF") {
    return " <TD WIDTH=" + std::to_string(width) + " ALIGN=\"" + align + "\" BGCOLOR=#" + bg + ">" +
           CellFont + text + "</FONT></TD>\r\n";
}
std::string TitleCell(int width, const std::string& text) {
    return "  <TD WIDTH=" + std::to_string(width) + " ALIGN=\"LEFT\">" + TitleFont + text +
           "</FONT></TD>\r\n";
}

const std::vector<std::pair<std::string, std::string>> ThreeCities = {
    {"Ann", "Rome"}, {"Bob", "Oslo"}, {"Cid", "Lima"}};

} // namespace

TEST_F(THtmlFixture, DocumentByteForByte) {
    MakeNameCityTable(Table, {{"Ann", "Rome"}, {"Bob", "Oslo"}});
    Bind();
    View.Column(0).SetWidth(70);
    View.Column(1).SetWidth(60);
    Writer.SetTitle("people");
    Writer.SetHTMLEncoding("");
    const std::string table = "<TABLE BORDER=1 CELLSPACING=0 CELLPADDING=1 BGCOLOR=#D4D0C8>\r\n";
    const std::string rows = "<TR>\r\n" + TitleCell(70, "Name") + TitleCell(60, "City") +
                             "</TR>\r\n"
                             "<TR>\r\n" +
                             DataCell(70, "Ann") + DataCell(60, "Rome") +
                             "</TR>\r\n"
                             "<TR>\r\n" +
                             DataCell(70, "Bob") + DataCell(60, "Oslo") + "</TR>\r\n";
    EXPECT_EQ(Run(), Head("<TITLE>people</TITLE>\r\n") + table + rows + Tail);

    // By default the document names its charset, the program's UTF-8.
    TKXExport2HTML fresh;
    EXPECT_EQ(fresh.HTMLEncoding(), "UTF-8");
    Writer.SetHTMLEncoding("UTF-8");
    Writer.SetTitle("");
    EXPECT_EQ(Run(), Head("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
                          "charset=UTF-8\">\r\n") +
                         table + rows + Tail);
    // The events around the table fire in their places.
    std::string events;
    Writer.BeforeWriteTable = [&](TKXExport&) { events += "before;"; };
    Writer.AfterWriteTable = [&](TKXExport&) { events += "after;"; };
    Run();
    EXPECT_EQ(events, "before;after;");
}

TEST_F(THtmlFixture, TableAttributesFollowTheGrid) {
    MakeNameCityTable(Table, {});
    Bind();
    Writer.SetNeedTitle(false);
    auto tableLine = [&]() {
        const std::string doc = Run();
        const size_t at = doc.find("<TABLE ");
        return doc.substr(at, doc.find("\r\n", at) - at);
    };
    EXPECT_EQ(tableLine(), "<TABLE BORDER=1 CELLSPACING=0 CELLPADDING=1 BGCOLOR=#D4D0C8>");
    View.SetFlat(false);
    View.SetCtl3D(false);
    View.SetFixedColor(RGBColor(0x12, 0x34, 0xAB));
    EXPECT_EQ(tableLine(), "<TABLE BORDER=0 CELLSPACING=1 CELLPADDING=2 BGCOLOR=#1234AB>");
    View.SetOptions(DefaultGridOptions & ~dgColLines);
    EXPECT_EQ(tableLine(), "<TABLE BORDER=0 CELLSPACING=1 CELLPADDING=2 BGCOLOR=#1234AB>");
    View.SetOptions(DefaultGridOptions & ~(dgColLines | dgRowLines));
    View.SetFixedColor(clNone);
    EXPECT_EQ(tableLine(), "<TABLE BORDER=0 CELLSPACING=0 CELLPADDING=2 BGCOLOR=#000000>");
    EXPECT_EQ(TKXExport2HTML::HTMLColor(clHighlight), "0A246A");
    EXPECT_EQ(TKXExport2HTML::HTMLColor(RGBColor(255, 0, 1)), "FF0001");
}

TEST_F(THtmlFixture, EntitiesAndEmptyCells) {
    Table.FieldDefs().Add("T", ftString, 20);
    Table.FieldDefs().Add("N", ftInteger);
    Table.Open();
    Table.AppendRecord({TValue::OfText("a<b & d"), TValue::OfInt(-5)});
    Table.AppendRecord({TValue::OfText("\"q\" >x&;"), TValue::Null()});
    Table.AppendRecord({TValue::OfText("<imes; &amp;"), TValue::OfInt(0)});
    Bind();
    View.Column(0).SetWidth(10);
    View.Column(1).SetWidth(20);
    Writer.SetNeedTitle(false);
    const std::string doc = Run();
    // Numbers are right-aligned as the field says; null cells show a blank.
    EXPECT_NE(doc.find(DataCell(10, "a&lt;b &amp; d") + DataCell(20, "-5", "RIGHT")),
              std::string::npos);
    EXPECT_NE(doc.find(DataCell(10, "&quot;q&quot; &gt;x&amp;;") + DataCell(20, "&nbsp;", "RIGHT")),
              std::string::npos);
    EXPECT_NE(doc.find(DataCell(10, "&lt;imes; &amp;amp;")), std::string::npos);
}

TEST_F(THtmlFixture, TitleIsWrittenOnlyWhenNotBlankAndEscaped) {
    MakeNameCityTable(Table, {});
    Bind();
    for (const char* blank : {"", "   ", "\t "}) {
        Writer.SetTitle(blank);
        EXPECT_EQ(Run().find("<TITLE>"), std::string::npos) << "'" << blank << "'";
    }
    // Untrimmed, but a file name's "&" and "<" cannot break the head.
    Writer.SetTitle(" R&D <2024> ");
    EXPECT_NE(Run().find("<HEAD>\r\n<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
                         "charset=UTF-8\">\r\n<TITLE> R&amp;D &lt;2024&gt; </TITLE>\r\n"),
              std::string::npos);
}

TEST_F(THtmlFixture, RecordsPerLine) {
    MakeNameCityTable(Table, ThreeCities);
    Bind();
    View.Column(0).SetWidth(1);
    View.Column(1).SetWidth(2);
    Writer.SetHTMLEncoding("");
    Writer.SetDestCols(2);
    const std::string doc = Run();
    const std::string expected =
        "<TR>\r\n" + TitleCell(1, "Name") + TitleCell(2, "City") + TitleCell(1, "Name") +
        TitleCell(2, "City") + "</TR>\r\n<TR>\r\n" + DataCell(1, "Ann") + DataCell(2, "Rome") +
        DataCell(1, "Bob") + DataCell(2, "Oslo") + "</TR>\r\n<TR>\r\n" + DataCell(1, "Cid") +
        DataCell(2, "Lima") + Tail; // the last row stays open before </TABLE>
    EXPECT_EQ(doc.substr(doc.find("<TR>")), expected);

    Writer.SetDestCols(3);
    std::string three = Run();
    three = three.substr(three.find("<TR>"));
    EXPECT_EQ(three.substr(0, three.find("</TR>")),
              "<TR>\r\n" + TitleCell(1, "Name") + TitleCell(2, "City") + TitleCell(1, "Name") +
                  TitleCell(2, "City") + TitleCell(1, "Name") + TitleCell(2, "City"));
    EXPECT_NE(three.find(DataCell(2, "Lima") + "</TR>\r\n</TABLE>"), std::string::npos);
}

TEST_F(THtmlFixture, FontsColoursAndCellHook) {
    MakeNameCityTable(Table, {{"Ann", "Rome"}});
    Bind();
    View.Column(0).SetWidth(5);
    TFont f;
    f.Name = "Arial";
    f.Size = 11;
    f.Color = RGBColor(1, 2, 3);
    f.Style = fsBold | fsItalic;
    View.Column(0).SetFont(f);
    View.Column(0).SetColor(clYellow);
    View.Column(0).SetAlignment(taCenter);
    TFont all = f;
    all.Style = fsBold | fsItalic | fsUnderline | fsStrikeOut;
    View.Column(1).SetTitleFont(all);
    View.Column(1).SetTitleAlignment(taRightJustify);
    View.Column(1).SetWidth(6);
    const std::string doc = Run();
    EXPECT_NE(
        doc.find(" <TD WIDTH=5 ALIGN=\"CENTER\" BGCOLOR=#FFFF00><FONT STYLE=\"font-family: "
                 "Arial; font-size: 11pt; color: #010203\"><B><I>Ann</B></I></FONT></TD>\r\n"),
        std::string::npos);
    EXPECT_NE(doc.find("  <TD WIDTH=6 ALIGN=\"RIGHT\"><FONT STYLE=\"font-family: Arial; font-size: "
                       "11pt; color: #010203\"><B><I><U><STRIKE>City</B></I></U></STRIKE></FONT>"
                       "</TD>\r\n"),
              std::string::npos);

    // Whatever the grid's hook leaves in the cell is what is written.
    View.OnGetCellParams = [](TTableView&, TColumn& column, TDBGridCellParams& p) {
        if (column.FieldName() != "City") return;
        p.Background = clRed;
        p.Alignment = taRightJustify;
        p.Text = "R&R";
    };
    EXPECT_NE(Run().find(" ALIGN=\"RIGHT\" BGCOLOR=#FF0000>" + CellFont + "R&amp;R</FONT>"),
              std::string::npos);
}

TEST_F(THtmlFixture, GlyphsBesideTheFileOnly) {
    Table.FieldDefs().Add("Ok", ftBoolean);
    Table.Open();
    Table.AppendRecord({TValue::OfBool(true)});
    Table.AppendRecord({TValue::OfBool(false)});
    Table.AppendRecord({TValue::Null()});
    Bind();
    View.Column(0).SetWidth(30);
    Writer.SetIncludeImages(true);
    Writer.SetNeedTitle(false);
    const std::string doc = RunToFile("people.htm");
    const std::string img = " <TD WIDTH=30 ALIGN=\"CENTER\" BGCOLOR=#FFFFFF><img "
                            "src=\"people_files/tbnexpDBG_";
    EXPECT_NE(doc.find(img + "TRUE.jpg\" width=\"13\" height=\"13\"></TD>\r\n</TR>\r\n<TR>\r\n" +
                       img + "FALSE.jpg\" width=\"13\" height=\"13\"></TD>\r\n"),
              std::string::npos);
    // A null boolean has no glyph: its (empty) text stands.
    EXPECT_NE(doc.find("</TR>\r\n<TR>\r\n" + DataCell(30, "&nbsp;") + "</TR>\r\n</TABLE>"),
              std::string::npos);
    const fs::path dir = Folder.Path / "people_files";
    const pictures::TJpegFrame t = pictures::ReadJpegFrame(Slurp(dir / "tbnexpDBG_TRUE.jpg"));
    EXPECT_EQ(t.Marker, 0xC0);
    EXPECT_EQ(t.Width, 13);
    EXPECT_EQ(t.Height, 13);
    EXPECT_TRUE(fs::exists(dir / "tbnexpDBG_FALSE.jpg"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);

    // Not to a stream or the clipboard: no pictures, the texts stand.
    const std::string stream = Run();
    EXPECT_EQ(stream.find("<img"), std::string::npos);
    EXPECT_NE(stream.find(CellFont + "True</FONT>"), std::string::npos);
    TMemoryClipboard clip;
    Writer.ExportToClipboard(clip);
    EXPECT_EQ(clip.Data(CF_TEXT).find("<img"), std::string::npos);
    EXPECT_NE(clip.Data(CF_TEXT).find(CellFont + "False</FONT>"), std::string::npos);
    // Without IncludeImages a file gets none either.
    Writer.SetIncludeImages(false);
    EXPECT_EQ(RunToFile("other.htm").find("<img"), std::string::npos);
    EXPECT_FALSE(fs::exists(Folder.Path / "other_files"));
}

TEST_F(THtmlFixture, GlyphFilesOfAnEarlierExportAreReused) {
    Table.FieldDefs().Add("Ok", ftBoolean);
    Table.Open();
    Table.AppendRecord({TValue::OfBool(true)});
    Table.AppendRecord({TValue::OfBool(false)});
    Bind();
    Writer.SetIncludeImages(true);
    const fs::path dir = Folder.Path / "t_files";
    fs::create_directory(dir);
    std::ofstream(dir / "tbnexpDBG_TRUE.jpg", std::ios::binary) << "kept as it is";
    const std::string doc = RunToFile("t.html");
    EXPECT_EQ(Slurp(dir / "tbnexpDBG_TRUE.jpg"), "kept as it is");
    EXPECT_NE(doc.find("<img src=\"t_files/tbnexpDBG_TRUE.jpg\" width=\"13\" height=\"13\">"),
              std::string::npos);
    EXPECT_EQ(pictures::ReadJpegFrame(Slurp(dir / "tbnexpDBG_FALSE.jpg")).Width, 13);
    // A missing one is written again by the next export.
    fs::remove(dir / "tbnexpDBG_FALSE.jpg");
    RunToFile("t.html");
    EXPECT_TRUE(fs::exists(dir / "tbnexpDBG_FALSE.jpg"));
    EXPECT_EQ(Slurp(dir / "tbnexpDBG_TRUE.jpg"), "kept as it is");
}

TEST_F(THtmlFixture, FieldPicturesAreNumbered) {
    Table.FieldDefs().Add("Id", ftInteger);
    Table.FieldDefs().Add("Pic", ftGraphic);
    Table.Open();
    Table.AppendRecord({TValue::OfInt(1), TValue::OfBytes(pictures::SolidBmp(7, 5, {200, 0, 0}))});
    Table.AppendRecord({TValue::OfInt(2), TValue::OfBytes("not a bitmap")});
    Table.AppendRecord({TValue::OfInt(3), TValue::Null()});
    Table.AppendRecord({TValue::OfInt(4), TValue::OfBytes(pictures::SolidBmp(3, 9, {0, 0, 200}))});
    Bind();
    Writer.SetIncludeImages(true);
    Writer.SetNeedTitle(false);
    View.Column(1).SetWidth(40);
    const fs::path dir = Folder.Path / "pics_files";
    // A picture of an earlier export under the second number is not shown
    // for the record whose data is no picture.
    fs::create_directory(dir);
    std::ofstream(dir / "tbnexp000002.jpg") << "old";
    const std::string doc = RunToFile("pics.htm");
    const std::string cell = " <TD WIDTH=40 ALIGN=\"CENTER\" BGCOLOR=#FFFFFF>";
    EXPECT_NE(doc.find(cell + "<img src=\"pics_files/tbnexp000001.jpg\" width=\"7\" height=\"5\">"),
              std::string::npos);
    // The second number went to the record whose data is no picture.
    EXPECT_NE(doc.find(DataCell(40, "(GRAPHIC)")), std::string::npos);
    EXPECT_NE(doc.find(DataCell(40, "(Graphic)")), std::string::npos);
    EXPECT_NE(doc.find(cell + "<img src=\"pics_files/tbnexp000003.jpg\" width=\"3\" height=\"9\">"),
              std::string::npos);
    EXPECT_EQ(Writer.ImageCounter(), 3);
    const pictures::TJpegFrame f = pictures::ReadJpegFrame(Slurp(dir / "tbnexp000003.jpg"));
    EXPECT_EQ(f.Width, 3);
    EXPECT_EQ(f.Height, 9);
    EXPECT_EQ(f.Components, 3);
    // A second export counts from 1 again and overwrites number by number.
    RunToFile("pics.htm");
    EXPECT_EQ(Writer.ImageCounter(), 3);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 3);

    // With DrawGraphic off the grid shows the graphic glyph instead.
    View.SetDrawGraphic(false);
    const std::string glyphs = RunToFile("pics.htm");
    EXPECT_NE(glyphs.find("<img src=\"pics_files/tbnexpDBG_PIC.jpg\" width=\"16\" height=\"14\">"),
              std::string::npos);
    EXPECT_EQ(Writer.ImageCounter(), 0);
}

TEST_F(THtmlFixture, MemoGlyphUnlessTheTextIsIncluded) {
    Table.FieldDefs().Add("Notes", ftMemo);
    Table.FieldDefs().Add("Data", ftBlob);
    Table.Open();
    Table.AppendRecord({TValue::OfText("one & two"), TValue::OfBytes("xyz")});
    Bind();
    Writer.SetIncludeImages(true);
    const std::string doc = RunToFile("m.htm");
    EXPECT_NE(doc.find("<img src=\"m_files/tbnexpDBG_MEMO.jpg\" width=\"16\" height=\"14\">"),
              std::string::npos);
    EXPECT_NE(doc.find("<img src=\"m_files/tbnexpDBG_BLOB.jpg\" width=\"16\" height=\"14\">"),
              std::string::npos);
    Writer.SetIncludeMemo(true);
    const std::string text = RunToFile("m.htm");
    EXPECT_EQ(text.find("DBG_MEMO"), std::string::npos);
    EXPECT_NE(text.find(CellFont + "one &amp; two</FONT>"), std::string::npos);
    EXPECT_NE(text.find("DBG_BLOB"), std::string::npos);
}

TEST_F(THtmlFixture, PictureFolderNamesAndFailures) {
    Table.FieldDefs().Add("Ok", ftBoolean);
    Table.Open();
    Table.AppendRecord({TValue::OfBool(true)});
    Bind();
    Writer.SetIncludeImages(true);
    // Characters that would end or change the relative URL are encoded.
    const std::string doc = RunToFile("50% #1 & co.v2.htm");
    EXPECT_NE(doc.find("<img src=\"50%25%20%231%20%26%20co.v2_files/tbnexpDBG_TRUE.jpg\""),
              std::string::npos);
    EXPECT_TRUE(fs::exists(Folder.Path / "50% #1 & co.v2_files" / "tbnexpDBG_TRUE.jpg"));
    // A folder that cannot be made leaves the texts.
    std::ofstream(Folder.Path / "blocked_files") << "a file in the way";
    const std::string blocked = RunToFile("blocked.htm");
    EXPECT_EQ(blocked.find("<img"), std::string::npos);
    EXPECT_NE(blocked.find(CellFont + "True</FONT>"), std::string::npos);
    // A hook may name a kind that has no picture: the text stands.
    View.OnGetCellParams = [](TTableView&, TColumn&, TDBGridCellParams& p) { p.ImageKind = 4; };
    EXPECT_EQ(RunToFile("k.htm").find("<img"), std::string::npos);
}

// Texts made of every arrangement of up to four characters drawn from plain
// ones and the four that need entities, so that each entity stands at the
// start, the end, beside another and alone; each must read as replacing "&"
// first and then the others would have it.
TEST_F(THtmlFixture, EntitiesAtEveryPlaceInTheText) {
    const std::vector<std::string> pieces = {"a", "&", "<", ">", "\"", "\xC3\xA9"};
    std::vector<std::string> texts;
    std::vector<std::string> level = {""};
    for (int length = 1; length <= 4; ++length) {
        std::vector<std::string> next;
        for (const std::string& t : level)
            for (const std::string& p : pieces)
                next.push_back(t + p);
        texts.insert(texts.end(), next.begin(), next.end());
        level = std::move(next);
    }
    Table.FieldDefs().Add("T", ftMemo);
    Table.Open();
    for (const std::string& t : texts)
        Table.AppendRecord({TValue::OfText(t)});
    Table.First();
    Bind();
    View.Column(0).SetWidth(9);
    Writer.SetIncludeMemo(true);
    Writer.SetNeedTitle(false);
    const auto entities = [](std::string t) {
        const std::pair<std::string, std::string> order[] = {
            {"&", "&amp;"}, {"<", "&lt;"}, {">", "&gt;"}, {"\"", "&quot;"}};
        for (const auto& [from, to] : order)
            for (size_t p = t.find(from); p != std::string::npos; p = t.find(from, p + to.size()))
                t.replace(p, from.size(), to);
        return t;
    };
    std::string expected;
    for (const std::string& t : texts)
        expected += "<TR>\r\n" + DataCell(9, entities(t)) + "</TR>\r\n";
    const std::string doc = Run();
    const size_t rows = doc.find("<TR>");
    ASSERT_NE(rows, std::string::npos);
    EXPECT_TRUE(doc.substr(rows, doc.size() - rows - Tail.size()) == expected);
}

// The markup around a text is reused from cell to cell of a column; a cell
// that the hook gives another colour, font or alignment must still carry its
// own, and the next plain cell the column's again.
TEST_F(THtmlFixture, CellsOfOneColumnKeepTheirOwnLook) {
    MakeNameCityTable(Table,
                      {{"A1", "C1"}, {"A2", "C2"}, {"A3", "C3"}, {"A4", "C4"}, {"A5", "C5"}});
    Bind();
    View.Column(0).SetWidth(4);
    View.Column(1).SetWidth(5);
    Writer.SetNeedTitle(false);
    TFont bold;
    bold.Name = "Arial";
    bold.Color = clBlack;
    bold.Style = fsBold;
    View.OnGetCellParams = [&bold](TTableView&, TColumn& column, TDBGridCellParams& p) {
        if (p.Text == "A2") p.Background = clRed;
        if (p.Text == "A3") p.Font = &bold;
        if (p.Text == "A4") p.Alignment = taRightJustify;
        if (p.Text == "C3") p.Background = clWindow; // the same colour by another name
        (void)column;
    };
    const std::string boldCell = " <TD WIDTH=4 ALIGN=\"LEFT\" BGCOLOR=#FFFFFF><FONT STYLE=\""
                                 "font-family: Arial; font-size: 8pt; color: #000000\"><B>A3</B>"
                                 "</FONT></TD>\r\n";
    std::string expected;
    for (int i = 1; i <= 5; ++i) {
        const std::string n = std::to_string(i);
        std::string first = DataCell(4, "A" + n);
        if (i == 2) first = DataCell(4, "A2", "LEFT", "FF0000");
        if (i == 3) first = boldCell;
        if (i == 4) first = DataCell(4, "A4", "RIGHT");
        expected += "<TR>\r\n" + first + DataCell(5, "C" + n) + "</TR>\r\n";
    }
    const std::string doc = Run();
    EXPECT_NE(doc.find(expected + Tail), std::string::npos) << doc;
}

TEST_F(THtmlFixture, RepeatedGlyphsNameTheirOwnFiles) {
    Table.FieldDefs().Add("Ok", ftBoolean);
    Table.Open();
    for (bool v : {true, true, false, true, false})
        Table.AppendRecord({TValue::OfBool(v)});
    Table.First();
    Bind();
    View.Column(0).SetWidth(30);
    Writer.SetIncludeImages(true);
    Writer.SetNeedTitle(false);
    const std::string doc = RunToFile("g.htm");
    std::string expected;
    for (const char* name : {"TRUE", "TRUE", "FALSE", "TRUE", "FALSE"})
        expected += std::string("<TR>\r\n <TD WIDTH=30 ALIGN=\"CENTER\" BGCOLOR=#FFFFFF><img "
                                "src=\"g_files/tbnexpDBG_") +
                    name + ".jpg\" width=\"13\" height=\"13\"></TD>\r\n</TR>\r\n";
    EXPECT_NE(doc.find(expected + Tail), std::string::npos) << doc;
    // Another document names its own folder.
    EXPECT_NE(RunToFile("h.htm").find("src=\"h_files/tbnexpDBG_TRUE.jpg\""), std::string::npos);
}

// HTML and XML documents of the writers, read by real parsers: lxml's HTML
// parser (libxml2, the charset taken from the document as a browser does)
// must see the grid's cell texts, and lxml's XML parser must find the
// document well-formed and read every value back, non-ASCII included.

#include "tests/readers/ReaderUtils.h"

#include "export/KXExport2HTML.h"
#include "export/KXExport2XML.h"
#include "export/view/WindowlessTableView.h"
#include "tests/support/PictureTestSupport.h"
#include "tests/support/TestTables.h"

#include <set>

using namespace readers;

namespace {

const std::string NonAscii = "Zoë Ærø 中文 Ð ä €";

std::string Unhex(const std::string& h) {
    if (h == "-") return "";
    std::string out;
    for (size_t i = 0; i + 1 < h.size(); i += 2)
        out += static_cast<char>(std::stoi(h.substr(i, 2), nullptr, 16));
    return out;
}

// The lines of a script's output starting with `kind`, each split at blanks.
std::vector<std::vector<std::string>> Lines(const std::string& output, const std::string& kind) {
    std::vector<std::vector<std::string>> lines;
    std::istringstream in(output);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::vector<std::string> w;
        std::string word;
        while (words >> word)
            w.push_back(word);
        if (!w.empty() && w[0] == kind) lines.emplace_back(w.begin() + 1, w.end());
    }
    return lines;
}

std::vector<std::string> Decoded(const std::vector<std::string>& hexes) {
    std::vector<std::string> out;
    for (const std::string& h : hexes)
        out.push_back(Unhex(h));
    return out;
}

struct THtmlXmlReader : ::testing::Test {
    TScopedFormatSettings Classic{TFormatSettings::Classic()};
    TMemTable Table;
    TDataSource Source{&Table};
    TWindowlessTableView View;
    TTempDir Dir;

    // Texts that markup and entities could garble, and numbers whose sign
    // and exponent must survive.
    void Build() {
        Table.FieldDefs().Add("Name", ftString, 40);
        Table.FieldDefs().Add("1st note", ftMemo);
        Table.FieldDefs().Add("Qty", ftInteger);
        Table.FieldDefs().Add("Price", ftCurrency);
        Table.FieldDefs().Add("Ratio", ftFloat);
        Table.FieldDefs().Add("Paid", ftBoolean);
        Table.Open();
        Table.AppendRecord({TValue::OfText(NonAscii), TValue::OfText(NonAscii + " memo"),
                            TValue::OfInt(-1234), TValue::OfFloat(-1234.5),
                            TValue::OfFloat(1.5e-10), TValue::OfBool(true)});
        Table.AppendRecord({TValue::OfText("a<b & d; \"q\" 'x'"), TValue::OfText("<imes; &amp;"),
                            TValue::OfInt(0), TValue::OfFloat(5), TValue::OfFloat(-2.5e300),
                            TValue::OfBool(false)});
        Table.AppendRecord({TValue::OfText(""), TValue::Null(), TValue::Null(), TValue::Null(),
                            TValue::Null(), TValue::Null()});
        View.Bind(&Source);
    }
};

} // namespace

TEST_F(THtmlXmlReader, HtmlParserShowsTheGridsTexts) {
    Build();
    TKXExport2HTML writer;
    writer.SetGrid(&View);
    writer.BuildMappings();
    writer.SetTitle(NonAscii + " & <x>");
    writer.SetIncludeImages(true);
    writer.SetIncludeMemo(true);
    const auto path = Dir / "zoë table.htm";
    writer.ExportToFile(path.string());

    TRunResult r = RunPython("parse_html.py", {path.string()});
    ASSERT_EQ(r.ExitCode, 0) << r.Output;
    const auto titles = Lines(r.Output, "title");
    ASSERT_EQ(titles.size(), 1u) << r.Output;
    EXPECT_EQ(Unhex(titles[0][0]), NonAscii + " & <x>");

    const auto rows = Lines(r.Output, "row");
    ASSERT_EQ(rows.size(), 4u) << r.Output;
    EXPECT_EQ(Decoded(rows[0]),
              (std::vector<std::string>{"Name", "1st note", "Qty", "Price", "Ratio", "Paid"}));
    EXPECT_EQ(
        Decoded(std::vector<std::string>(rows[1].begin(), rows[1].end() - 1)),
        (std::vector<std::string>{NonAscii, NonAscii + " memo", "-1234", "-$1,234.50", "1.5E-10"}));
    EXPECT_EQ(
        Decoded(std::vector<std::string>(rows[2].begin(), rows[2].end() - 1)),
        (std::vector<std::string>{"a<b & d; \"q\" 'x'", "<imes; &amp;", "0", "$5.00", "-2.5E300"}));
    EXPECT_EQ(Decoded(rows[3]), (std::vector<std::string>{"", "", "", "", "", ""}));

    // The booleans are pictures in the folder beside the document.
    for (int i : {1, 2}) {
        const std::string& img = rows[static_cast<size_t>(i)].back();
        ASSERT_EQ(img.rfind("img:", 0), 0u) << img;
        const std::string rest = img.substr(4);
        const std::string src = Unhex(rest.substr(0, rest.find(':')));
        EXPECT_EQ(rest.substr(rest.find(':')), ":13x13");
        const std::string glyph = i == 1 ? "TRUE" : "FALSE";
        EXPECT_EQ(src, "zoë%20table_files/tbnexpDBG_" + glyph + ".jpg");
        // The browser resolves the URL: percent-escapes decoded.
        std::string file;
        for (size_t k = 0; k < src.size(); ++k) {
            if (src[k] == '%' && k + 2 < src.size()) {
                file += static_cast<char>(std::stoi(src.substr(k + 1, 2), nullptr, 16));
                k += 2;
            } else {
                file += src[k];
            }
        }
        EXPECT_EQ(file, "zoë table_files/tbnexpDBG_" + glyph + ".jpg");
        const pictures::TJpegFrame f = pictures::ReadJpegFrame(ReadFile(Dir / file));
        EXPECT_EQ(f.Marker, 0xC0) << file;
        EXPECT_EQ(f.Width, 13);
    }
}

TEST_F(THtmlXmlReader, HtmlWithoutCharsetIsMisread) {
    // Why the document names its charset: without the META line the parser
    // (like a browser) falls back to a legacy code page.
    Build();
    TKXExport2HTML writer;
    writer.SetGrid(&View);
    writer.BuildMappings();
    writer.SetHTMLEncoding("");
    const auto path = Dir / "plain.htm";
    writer.ExportToFile(path.string());
    TRunResult r = RunPython("parse_html.py", {path.string()});
    ASSERT_EQ(r.ExitCode, 0) << r.Output;
    const auto rows = Lines(r.Output, "row");
    ASSERT_GE(rows.size(), 2u);
    EXPECT_NE(Unhex(rows[1][0]), NonAscii);
}

TEST_F(THtmlXmlReader, XmlDataPacketReadsBackEveryValue) {
    Build();
    // A control character, which XML cannot hold, and line breaks, which an
    // attribute would lose, in a memo.
    Table.AppendRecord(
        {TValue::OfText("tab\there"), TValue::OfText("one\r\ntwo\x01three"), TValue::OfInt(7)});
    TKXExport2XML writer;
    writer.SetGrid(&View);
    writer.BuildMappings();
    writer.SetIncludeMemo(true);
    const auto path = Dir / "packet.xml";
    writer.ExportToFile(path.string());

    TRunResult r = RunPython("parse_xml.py", {path.string()});
    ASSERT_EQ(r.ExitCode, 0) << r.Output << "\n" << ReadFile(path);
    const auto fields = Lines(r.Output, "field");
    ASSERT_EQ(fields.size(), 6u) << r.Output;
    EXPECT_EQ(Unhex(fields[0][0]), "Name");
    EXPECT_EQ(Unhex(fields[1][0]), "_1st_note");
    EXPECT_EQ(Unhex(fields[1][1]), "fieldtype=bin.hex;SUBTYPE=Text");
    EXPECT_EQ(Unhex(fields[3][1]), "fieldtype=r8;SUBTYPE=Money");
    const auto rows = Lines(r.Output, "row");
    ASSERT_EQ(rows.size(), 4u) << r.Output;
    EXPECT_EQ(Decoded(rows[0]), (std::vector<std::string>{NonAscii, NonAscii + " memo", "-1234",
                                                          "-1234.50", "1.5E-10", "True"}));
    EXPECT_EQ(Decoded(rows[1]), (std::vector<std::string>{"a<b & d; \"q\" 'x'", "<imes; &amp;", "0",
                                                          "5.00", "-2.5E300", "False"}));
    EXPECT_EQ(Decoded(rows[2]), (std::vector<std::string>{"", "", "", "", "", ""}));
    EXPECT_EQ(Decoded(rows[3]),
              (std::vector<std::string>{"tab\there", "one\r\ntwo\uFFFDthree", "7", "", "", ""}));
}

TEST_F(THtmlXmlReader, XmlRecordSetReadsBackEveryValue) {
    Build();
    Table.AppendRecord({TValue::OfText("tab\there"), TValue::OfText("one\r\ntwo")});
    TKXExport2XML writer;
    writer.SetGrid(&View);
    writer.BuildMappings();
    writer.SetXMLScheme(0);
    const auto path = Dir / "records.xml";
    writer.ExportToFile(path.string());
    TRunResult r = RunPython("parse_xml.py", {path.string()});
    ASSERT_EQ(r.ExitCode, 0) << r.Output << "\n" << ReadFile(path);
    const auto records = Lines(r.Output, "record");
    ASSERT_EQ(records.size(), 4u) << r.Output;
    auto pairs = [](const std::vector<std::string>& rec) {
        std::vector<std::string> out;
        for (const std::string& p : rec)
            out.push_back(Unhex(p.substr(0, p.find('='))) + "=" + Unhex(p.substr(p.find('=') + 1)));
        return out;
    };
    EXPECT_EQ(pairs(records[0]),
              (std::vector<std::string>{"Name=" + NonAscii, "_1st_note=(MEMO)", "Qty=-1234",
                                        "Price=-1234.50", "Ratio=1.5E-10", "Paid=True"}));
    EXPECT_EQ(pairs(records[1])[0], "Name=a<b & d; \"q\" 'x'");
    EXPECT_EQ(pairs(records[2]), (std::vector<std::string>{"Name=", "_1st_note=(Memo)",
                                                           "Qty=", "Price=", "Ratio=", "Paid="}));
    EXPECT_EQ(pairs(records[3])[0], "Name=tab\there");
}

namespace {
std::string Utf8(char32_t c) {
    std::string s;
    if (c < 0x80) {
        s += static_cast<char>(c);
    } else if (c < 0x800) {
        s += static_cast<char>(0xC0 | (c >> 6));
        s += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        s += static_cast<char>(0xE0 | (c >> 12));
        s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        s += static_cast<char>(0xF0 | (c >> 18));
        s += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (c & 0x3F));
    }
    return s;
}
} // namespace

// A name made from any character, at the start, inside or at the end, as
// an element and as attributes: expat, libxml2 and libxml2 by the older
// rules accept every one.
TEST_F(THtmlXmlReader, XmlNamesOfEveryCharacterAreAcceptedByEveryParser) {
    const TKXExport2XML writer; // no names taken: each comes back cleaned only
    const auto name = [&](const std::string& s) { return writer.MakeXMLName(s); };
    std::string doc = "<?xml version=\"1.0\"?>\n<r>\n";
    for (char32_t c = 1; c <= 0x10FFFF; c += c < 0x10000 ? 1 : 0x7F) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        const std::string ch = Utf8(c);
        doc += "<" + name(ch) + " " + name("a" + ch) + "=\"1\" " + name(ch + "b") + "=\"2\"/>\n";
    }
    // Bytes that are no character, and the reserved prefix.
    for (const char* odd : {"\xFF", "\xC3", "a\xE2\x82", "\xED\xA0\x80", "xmlns", "XmlData", "xml"})
        doc += "<" + name(odd) + " " + name(std::string("x") + odd) + "=\"1\"/>\n";
    doc += "</r>\n";
    const auto path = Dir / "names.xml";
    WriteFile(path, doc);
    TRunResult r = RunPython("xml_parsers.py", {path.string()});
    ASSERT_EQ(r.ExitCode, 0) << r.Output.substr(0, 2000);
}

// Field names that later XML editions allow and older parsers refuse (U+FFFD,
// symbols, characters past U+FFFF), markup characters, the reserved prefix,
// and names that clean to one name: both layouts read back by every parser,
// each value under its own name.
TEST_F(THtmlXmlReader, XmlOfHostileFieldNamesReadsBackInEveryParser) {
    const std::vector<std::string> names = {
        "\xEF\xBF\xBD", "Preis \xE2\x82\xAC", "a\xE2\x80\x8Bz",
        "xmlns",        "xml:lang",           "\xD0\x98\xD0\xBC\xD1\x8F",
        "\xE5\x90\x8D", "\xCC\x81x",          "\xF0\x9D\x84\x9E",
        "2nd",          "a<b>&\"'",           "Preis_\xE2\x82\xAC"};
    for (const std::string& n : names)
        Table.FieldDefs().Add(n, ftString, 8);
    Table.Open();
    std::vector<TValue> values;
    for (size_t i = 0; i < names.size(); ++i)
        values.push_back(TValue::OfText("v" + std::to_string(i)));
    Table.AppendRecord(values);
    View.Bind(&Source);

    for (int scheme : {1, 0}) {
        TKXExport2XML writer;
        writer.SetGrid(&View);
        writer.BuildMappings();
        writer.SetXMLScheme(scheme);
        const auto path = Dir / ("hostile" + std::to_string(scheme) + ".xml");
        writer.ExportToFile(path.string());
        TRunResult r = RunPython("xml_parsers.py", {path.string()});
        ASSERT_EQ(r.ExitCode, 0) << r.Output << "\n" << ReadFile(path);
        std::set<std::string> seen;
        std::vector<std::string> got, expected;
        for (int i = 0; i < writer.Mappings().Count(); ++i) {
            const std::string& xmlName = writer.Mappings().ValueFromIndex(i);
            EXPECT_TRUE(seen.insert(xmlName).second) << xmlName;
            expected.push_back(xmlName + "=v" + std::to_string(i));
        }
        std::istringstream in(r.Output);
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream words(line);
            std::string depth, tag, text, pair;
            words >> depth >> tag >> text;
            if (scheme == 1 && Unhex(tag) == "ROW")
                while (words >> pair)
                    got.push_back(Unhex(pair.substr(0, pair.find('='))) + "=" +
                                  Unhex(pair.substr(pair.find('=') + 1)));
            if (scheme != 1 && depth == "2") got.push_back(Unhex(tag) + "=" + Unhex(text));
        }
        EXPECT_EQ(got, expected) << r.Output;
    }
}

// A table without fields (a dBase header may list none) gives documents
// without columns that the parsers still read.
TEST_F(THtmlXmlReader, ATableWithoutFieldsGivesDocumentsTheParsersRead) {
    Table.Open();
    Table.AppendRecord({});
    Table.AppendRecord({});
    View.Bind(&Source);
    TKXExport2HTML html;
    html.SetGrid(&View);
    html.BuildMappings();
    const auto htm = Dir / "none.htm";
    html.ExportToFile(htm.string());
    TRunResult r = RunPython("parse_html.py", {htm.string()});
    ASSERT_EQ(r.ExitCode, 0) << r.Output << "\n" << ReadFile(htm);
    EXPECT_EQ(Lines(r.Output, "row").size(), 2u) << r.Output;
    for (int scheme : {0, 1}) {
        TKXExport2XML xml;
        xml.SetGrid(&View);
        xml.BuildMappings();
        xml.SetXMLScheme(scheme);
        const auto path = Dir / "none.xml";
        xml.ExportToFile(path.string());
        r = RunPython("parse_xml.py", {path.string()});
        ASSERT_EQ(r.ExitCode, 0) << r.Output << "\n" << ReadFile(path);
        EXPECT_TRUE(Lines(r.Output, "field").empty());
        EXPECT_EQ(Lines(r.Output, scheme ? "row" : "record").size(), 2u) << r.Output;
    }
}

#include "data/dataset/NumericField.h"
#include "data/locale/DateTimeFormat.h"
#include "export/KXExport2XML.h"
#include "export/view/WindowlessTableView.h"
#include "tests/support/TestTables.h"

#include <gtest/gtest.h>

namespace {

const std::string PacketDecl = "<?xml version=\"1.0\" standalone=\"yes\"?>\r\n";

struct TXmlFixture : ::testing::Test {
    TScopedFormatSettings Classic{TFormatSettings::Classic()};
    TMemTable Table;
    TDataSource Source{&Table};
    TWindowlessTableView View;
    TKXExport2XML Writer;

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
    // The lines between <ROWDATA> and </ROWDATA>, or inside <recordset>.
    std::string Rows() {
        const std::string doc = Run();
        const bool packet = Writer.XMLScheme() == 1;
        const std::string open = packet ? "<ROWDATA>\r\n" : "<recordset>\r\n";
        const size_t a = doc.find(open) + open.size();
        return doc.substr(a, doc.find(packet ? "</ROWDATA>" : "</recordset>") - a);
    }
    void OneColumn(const std::string& name, TFieldType type, const std::vector<TValue>& values,
                   int size = 0) {
        Table.FieldDefs().Add(name, type, size);
        Table.Open();
        for (const TValue& v : values)
            Table.AppendRecord({v});
        Bind();
    }
};

} // namespace

TEST_F(TXmlFixture, DataPacketByteForByte) {
    Table.FieldDefs().Add("NAME", ftString, 20, true);
    Table.FieldDefs().Add("QTY", ftInteger);
    Table.FieldDefs().Add("PRICE", ftCurrency);
    Table.FieldDefs().Add("PAID", ftBoolean);
    Table.FieldDefs().Add("DUE", ftDate);
    Table.FieldDefs().Add("ID", ftAutoInc).ReadOnly = true;
    Table.Open();
    Table.AppendRecord({TValue::OfText("Ann \"A\" <x>"), TValue::OfInt(-1234),
                        TValue::OfFloat(-1234.5), TValue::OfBool(true),
                        TValue::OfDateTime(EncodeDate(2024, 3, 15)), TValue::OfInt(1)});
    Table.AppendRecord({TValue::Null(), TValue::Null(), TValue::Null(), TValue::Null(),
                        TValue::Null(), TValue::OfInt(2)});
    Bind();
    std::string events;
    Writer.BeforeWriteTable = [&](TKXExport&) { events += "before;"; };
    Writer.AfterWriteTable = [&](TKXExport&) { events += "after;"; };
    Writer.SetDestCols(3); // no effect on XML
    EXPECT_EQ(Run(), PacketDecl +
                         "<DATAPACKET Version=\"2.0\">\r\n"
                         "<METADATA>\r\n"
                         "<FIELDS>\r\n"
                         "<FIELD attrname=\"NAME\" fieldtype=\"string\" WIDTH=\"20\" "
                         "required=\"true\"/>\r\n"
                         "<FIELD attrname=\"QTY\" fieldtype=\"i4\"/>\r\n"
                         "<FIELD attrname=\"PRICE\" fieldtype=\"r8\" SUBTYPE=\"Money\"/>\r\n"
                         "<FIELD attrname=\"PAID\" fieldtype=\"boolean\"/>\r\n"
                         "<FIELD attrname=\"DUE\" fieldtype=\"date\"/>\r\n"
                         "<FIELD attrname=\"ID\" fieldtype=\"i4\" SUBTYPE=\"Autoinc\" "
                         "readonly=\"true\"/>\r\n"
                         "</FIELDS>\r\n"
                         "</METADATA>\r\n"
                         "<ROWDATA>\r\n"
                         "<ROW NAME=\"Ann &quot;A&quot; &lt;x&gt;\" QTY=\"-1234\" "
                         "PRICE=\"-1234.50\" PAID=\"True\" DUE=\"3/15/2024\" ID=\"1\"/>\r\n"
                         "<ROW NAME=\"\" QTY=\"\" PRICE=\"\" PAID=\"\" DUE=\"\" ID=\"2\"/>\r\n"
                         "</ROWDATA>\r\n"
                         "</DATAPACKET>\r\n");
    EXPECT_EQ(events, "before;after;");
    // Headings are never written: NeedTitle has no effect.
    Writer.SetNeedTitle(false);
    const std::string without = Run();
    Writer.SetNeedTitle(true);
    EXPECT_EQ(Run(), without);
}

TEST_F(TXmlFixture, EmptyTablePacket) {
    MakeNameCityTable(Table, {});
    Bind();
    EXPECT_EQ(Run(), PacketDecl + "<DATAPACKET Version=\"2.0\">\r\n<METADATA>\r\n<FIELDS>\r\n"
                                  "<FIELD attrname=\"Name\" fieldtype=\"string\" WIDTH=\"10\"/>\r\n"
                                  "<FIELD attrname=\"City\" fieldtype=\"string\" WIDTH=\"10\"/>\r\n"
                                  "</FIELDS>\r\n</METADATA>\r\n<ROWDATA>\r\n</ROWDATA>\r\n"
                                  "</DATAPACKET>\r\n");
}

TEST_F(TXmlFixture, RecordSetLayouts) {
    MakeNameCityTable(Table, {{"A \"q\" & b", ""}, {"Bo", "Oslo"}});
    Bind();
    Writer.SetXMLScheme(0);
    const std::string body = "<recordset>\r\n"
                             "  <R1>\r\n"
                             "    <Name>A \"q\" &amp; b</Name>\r\n"
                             "    <City/>\r\n"
                             "  </R1>\r\n"
                             "  <R1>\r\n"
                             "    <Name>Bo</Name>\r\n"
                             "    <City>Oslo</City>\r\n"
                             "  </R1>\r\n"
                             "</recordset>\r\n";
    EXPECT_EQ(Run(), PacketDecl + body);
    Writer.SetXMLScheme(2);
    EXPECT_EQ(Run(), "<?xml version=\"1.0\"?>\r\n" + body);
    Writer.SetXMLEncoding("UTF-8");
    EXPECT_EQ(Run(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n" + body);
    Writer.SetXMLScheme(1);
    const std::string decl = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";
    EXPECT_EQ(Run().substr(0, decl.size()), decl);
}

TEST_F(TXmlFixture, NamesAreSafeAndUnique) {
    for (const char* name : {"A B", "A/B", "A:B", "1st", "x[1]{2}", "Zoë", "a×b", "-x", ".y",
                             "\x01"
                             "c",
                             "e\xFF"
                             "f",
                             "ok-1.2_3",
                             // What later XML editions allow and expat refuses.
                             "\xEF\xBF\xBD", "Preis \xE2\x82\xAC", "a\xF0\x9D\x84\x9E",
                             "\xE2\x82\xAC", "\xE2\x80\x8Bx",
                             // The reserved prefix; letters and marks of any script.
                             "xmlns", "Xml1", "xm", "\xD0\x98\xD0\xBC\xD1\x8F", "\xE5\x90\x8D",
                             "\xCC\x81x", "x\xCC\x81"})
        Table.FieldDefs().Add(name, ftString, 4);
    Table.Open();
    Bind();
    const std::vector<std::string> expected = {"A_B",
                                               "A_B1",
                                               "A_B12",
                                               "_1st",
                                               "x_1__2_",
                                               "Zoë",
                                               "a_b",
                                               "_-x",
                                               "_.y",
                                               "_c",
                                               "e_f",
                                               "ok-1.2_3",
                                               "_",
                                               "Preis__",
                                               "a_",
                                               "_1",
                                               "_x",
                                               "_xmlns",
                                               "_Xml1",
                                               "xm",
                                               "\xD0\x98\xD0\xBC\xD1\x8F",
                                               "\xE5\x90\x8D",
                                               "_\xCC\x81x",
                                               "x\xCC\x81"};
    ASSERT_EQ(Writer.Mappings().Count(), static_cast<int>(expected.size()));
    for (int i = 0; i < Writer.Mappings().Count(); ++i) {
        EXPECT_EQ(Writer.Mappings().ValueFromIndex(i), expected[static_cast<size_t>(i)]) << i;
        EXPECT_EQ(Writer.Mappings().Names(i), Table.Fields(i).FieldName());
    }
    // Rebuilding keeps the names: they are already safe and unique.
    Writer.BuildMappings();
    for (int i = 0; i < Writer.Mappings().Count(); ++i)
        EXPECT_EQ(Writer.Mappings().ValueFromIndex(i), expected[static_cast<size_t>(i)]);
    EXPECT_TRUE(Writer.XMLNameUsed("A_B1"));
    EXPECT_FALSE(Writer.XMLNameUsed("a_b1"));
    EXPECT_EQ(Writer.MakeXMLName("A B"), "A_B123");
    EXPECT_EQ(Writer.MakeXMLName(""), "_12"); // "_" and "_1" are taken
}

TEST_F(TXmlFixture, CallersListIsRenamed) {
    Table.FieldDefs().Add("NAME", ftString, 4);
    Table.FieldDefs().Add("CITY", ftString, 4);
    Table.Open();
    Table.AppendRecord({TValue::OfText("n"), TValue::OfText("c")});
    View.Bind(&Source);
    Writer.SetGrid(&View);
    TMappings one;
    one.Add("NAME=NAME");
    Writer.SetMappings(one);
    ASSERT_EQ(Writer.Mappings().Count(), 1);
    EXPECT_EQ(Writer.Mappings().ValueFromIndex(0), "NAME"); // its own value does not count
    EXPECT_NE(Run().find("<ROW NAME=\"n\"/>"), std::string::npos);
    TMappings two;
    two.Add("CITY=Home town");
    two.Add("NAME=Home_town");
    Writer.SetMappings(two);
    EXPECT_EQ(Writer.Mappings().ValueFromIndex(0), "Home_town1");
    EXPECT_EQ(Writer.Mappings().ValueFromIndex(1), "Home_town");
    EXPECT_NE(Run().find("<ROW Home_town1=\"c\" Home_town=\"n\"/>"), std::string::npos);
}

TEST_F(TXmlFixture, FieldShownTwiceGivesTwoAttributes) {
    Table.FieldDefs().Add("N", ftString, 4);
    Table.Open();
    Table.AppendRecord({TValue::OfText("v")});
    View.SetDataSource(&Source);
    View.AddColumn("N");
    View.AddColumn("N");
    Writer.SetGrid(&View);
    Writer.BuildMappings();
    const std::string doc = Run();
    EXPECT_NE(doc.find("<FIELD attrname=\"N\" fieldtype=\"string\" WIDTH=\"4\"/>\r\n"
                       "<FIELD attrname=\"N1\" fieldtype=\"string\" WIDTH=\"4\"/>"),
              std::string::npos);
    EXPECT_NE(doc.find("<ROW N=\"v\" N1=\"v\"/>"), std::string::npos);
}

TEST_F(TXmlFixture, NumbersKeepSignDecimalsAndExponent) {
    Table.FieldDefs().Add("C", ftCurrency);
    Table.FieldDefs().Add("F", ftFloat);
    Table.FieldDefs().Add("I", ftLargeint);
    Table.Open();
    Table.AppendRecord({TValue::OfFloat(5), TValue::OfFloat(1.5e-10), TValue::OfInt(-7)});
    Table.AppendRecord({TValue::OfFloat(-1234.5), TValue::OfFloat(-2.5e300), TValue::OfInt(0)});
    Table.AppendRecord({TValue::OfFloat(1e6), TValue::OfFloat(0.25), TValue::Null()});
    Bind();
    Writer.SetNeedTitle(false);
    EXPECT_EQ(Rows(), "<ROW C=\"5.00\" F=\"1.5E-10\" I=\"-7\"/>\r\n"
                      "<ROW C=\"-1234.50\" F=\"-2.5E300\" I=\"0\"/>\r\n"
                      "<ROW C=\"1000000.00\" F=\"0.25\" I=\"\"/>\r\n");

    // The locale's separators: decimal comma, grouping full stop, sign in
    // parentheses, currency after the number.
    TFormatSettings de = TFormatSettings::Classic();
    de.DecimalSeparator = ',';
    de.ThousandSeparator = '.';
    de.CurrencyString = "EUR";
    de.CurrencyFormat = 3;
    de.NegCurrFormat = 0;
    TScopedFormatSettings scoped(de);
    EXPECT_EQ(Rows(), "<ROW C=\"5.00\" F=\"1.5E-10\" I=\"-7\"/>\r\n"
                      "<ROW C=\"-1234.50\" F=\"-2.5E300\" I=\"0\"/>\r\n"
                      "<ROW C=\"1000000.00\" F=\"0.25\" I=\"\"/>\r\n");
}

TEST_F(TXmlFixture, NumberTextsOfTheHookAreCleaned) {
    OneColumn("F", ftFloat, {TValue::OfFloat(1)});
    Writer.SetXMLScheme(0);
    std::string text;
    View.OnGetCellParams = [&](TTableView&, TColumn&, TDBGridCellParams& p) { p.Text = text; };
    const std::pair<const char*, const char*> cases[] = {
        {"-1,234.50", "-1234.50"},
        {"$5.00", "5.00"},
        {"($5.00)", "-5.00"},
        {"$1,234.50-", "-1234.50"},
        {"1.00 $-", "-1.00"},
        {"- 3", "-3"},
        {".5", ".5"},
        {"-.5", "-.5"},
        {"1.2.3", "1.23"},
        {"1.5e+07", "1.5E07"},
        {"2E-3 m", "2E-3"},
        {"5 E-kg", "5"},
        {"12-34", "1234"},
        {"EUR 7", "7"},
        {"7 EUR", "7"},
        {"NAN", ""},
        {"-INF", ""},
        {"", ""},
    };
    for (const auto& [shown, written] : cases) {
        text = shown;
        const std::string expected =
            *written ? "    <F>" + std::string(written) + "</F>\r\n" : "    <F/>\r\n";
        EXPECT_EQ(Rows(), "  <R1>\r\n" + expected + "  </R1>\r\n") << shown;
    }
    // With a decimal comma, the comma is the point and full stops group.
    TFormatSettings de = TFormatSettings::Classic();
    de.DecimalSeparator = ',';
    de.ThousandSeparator = '.';
    TScopedFormatSettings scoped(de);
    text = "approx. -1.234,5 E-kg";
    EXPECT_EQ(Rows(), "  <R1>\r\n    <F>-1234.5</F>\r\n  </R1>\r\n");
    text = "5,0e+3";
    EXPECT_EQ(Rows(), "  <R1>\r\n    <F>5.0E3</F>\r\n  </R1>\r\n");
}

TEST_F(TXmlFixture, ValuesThatXmlCannotHoldAsTheyAre) {
    OneColumn("T", ftMemo,
              {TValue::OfText("one\r\ntwo\tthree"), TValue::OfText("bell\x07 esc\x1B nul"),
               TValue::OfText("bad \xC3 byte \xEF\xBF\xBF end"),
               TValue::OfText("Zoë Ærø 中文 Ð ä €"), TValue::OfText("it's")});
    Writer.SetIncludeMemo(true);
    EXPECT_EQ(Rows(), "<ROW T=\"one&#13;&#10;two&#9;three\"/>\r\n"
                      "<ROW T=\"bell\xEF\xBF\xBD esc\xEF\xBF\xBD nul\"/>\r\n"
                      "<ROW T=\"bad \xEF\xBF\xBD byte \xEF\xBF\xBD end\"/>\r\n"
                      "<ROW T=\"Zoë Ærø 中文 Ð ä €\"/>\r\n"
                      "<ROW T=\"it's\"/>\r\n");
    Writer.SetXMLScheme(2);
    const std::string first = "  <R1>\r\n    <T>one&#13;\ntwo\tthree</T>\r\n  </R1>\r\n";
    EXPECT_EQ(Rows().substr(0, first.size()), first);
    Writer.SetIncludeMemo(false);
    EXPECT_NE(Rows().find("<T>(MEMO)</T>"), std::string::npos);
}

TEST_F(TXmlFixture, FieldTypesOfEveryKind) {
    struct TCase {
        TFieldType Type;
        int Size;
        const char* Text;
    };
    const TCase cases[] = {
        {ftString, 7, "\"string\" WIDTH=\"7\""},
        {ftSmallint, 0, "\"i4\""},
        {ftWord, 0, "\"i4\""},
        {ftLargeint, 0, "\"i8\""},
        {ftFloat, 0, "\"r8\""},
        {ftBCD, 0, "\"r8\""},
        {ftTime, 0, "\"time\""},
        {ftDateTime, 0, "\"datetime\""},
        {ftFixedChar, 3, "\"string\" WIDTH=\"3\""},
        {ftWideString, 9, "\"string\" WIDTH=\"9\""},
        {ftBytes, 4, "\"bin.hex\" WIDTH=\"4\""},
        {ftVarBytes, 6, "\"bin.hex\" WIDTH=\"6\""},
        {ftMemo, 0, "\"bin.hex\" SUBTYPE=\"Text\""},
        {ftFmtMemo, 0, "\"bin.hex\" SUBTYPE=\"Text\""},
        {ftGraphic, 0, "\"bin.hex\" SUBTYPE=\"Text\""},
        {ftBlob, 0, "\"bin.hex\" SUBTYPE=\"Text\""},
        {ftParadoxOle, 0, "\"bin.hex\" SUBTYPE=\"Text\""},
        {ftTypedBinary, 0, "\"bin.hex\" SUBTYPE=\"Text\""},
    };
    for (const TCase& c : cases)
        Table.FieldDefs().Add("F" + std::to_string(c.Type), c.Type, c.Size);
    Table.FieldDefs()[0].Required = true;
    Table.FieldDefs()[0].ReadOnly = true;
    Table.Open();
    for (size_t i = 0; i < std::size(cases); ++i) {
        std::string expected = cases[i].Text;
        if (i == 0) expected += " required=\"true\" readonly=\"true\"";
        EXPECT_EQ(TKXExport2XML::XMLFieldType(&Table.Fields(static_cast<int>(i))), expected)
            << cases[i].Type;
    }
    EXPECT_EQ(TKXExport2XML::XMLFieldType(nullptr), "\"bin.hex\" SUBTYPE=\"Text\"");
}

// Values made of every arrangement of up to three pieces, each a character
// that is written as it is, as an entity or reference, or replaced, so that
// each stands at the start, the end and beside every other. A value must read
// as its pieces written one by one.
TEST_F(TXmlFixture, EveryEscapeAtEveryPlaceInTheValue) {
    const std::string R = "\xEF\xBF\xBD";
    struct TPiece {
        std::string Text, InAttribute, InContent;
    };
    const std::vector<TPiece> pieces = {
        {"a", "a", "a"},        {"&", "&amp;", "&amp;"},
        {"<", "&lt;", "&lt;"},  {">", "&gt;", "&gt;"},
        {"\"", "&quot;", "\""}, {"\t", "&#9;", "\t"},
        {"\n", "&#10;", "\n"},  {"\r", "&#13;", "&#13;"},
        {"\x01", R, R},         {"\xC3\xA9", "\xC3\xA9", "\xC3\xA9"},
        {"\xC3", R, R}, // a lead byte without its continuation
        {"\xEF\xBF\xBF", R, R},
    };
    std::vector<TPiece> values;
    std::vector<TPiece> level = {{}};
    for (int length = 1; length <= 3; ++length) {
        std::vector<TPiece> next;
        for (const TPiece& v : level)
            for (const TPiece& p : pieces)
                next.push_back(
                    {v.Text + p.Text, v.InAttribute + p.InAttribute, v.InContent + p.InContent});
        values.insert(values.end(), next.begin(), next.end());
        level = std::move(next);
    }
    std::vector<TValue> texts;
    for (const TPiece& v : values)
        texts.push_back(TValue::OfText(v.Text));
    OneColumn("T", ftMemo, texts);
    Writer.SetIncludeMemo(true);
    std::string packet, recordSet;
    for (const TPiece& v : values) {
        packet += "<ROW T=\"" + v.InAttribute + "\"/>\r\n";
        recordSet += "  <R1>\r\n    <T>" + v.InContent + "</T>\r\n  </R1>\r\n";
    }
    EXPECT_TRUE(Rows() == packet);
    Writer.SetXMLScheme(2);
    EXPECT_TRUE(Rows() == recordSet);
}

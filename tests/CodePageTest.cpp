// Code pages: the converters (the system's and the program's own tables)
// and the choice of a code page for text that names none.
#include "data/platform/CodePage.h"
#include "data/base/DatabaseError.h"
#include "data/platform/CodePageDetector.h"

#include <gtest/gtest.h>

#include <string>

namespace {
std::string InPage(int codePage, const std::string& utf8) {
    TCodePage cp(codePage);
    std::string out;
    EXPECT_TRUE(cp.FromUtf8(utf8, out)) << codePage << " cannot hold " << utf8;
    return out;
}

std::string FromPage(int codePage, const std::string& bytes) {
    TCodePage cp(codePage);
    std::string out;
    cp.ToUtf8(bytes, out);
    return out;
}

int Detect(const std::string& bytes, int ascii = 1252) {
    TCodePageDetector d;
    d.Add(bytes);
    return d.Result(ascii);
}
} // namespace

TEST(CodePages, PagesThatTablesNameAllConvert) {
    // The DOS, Mac and other pages that dBase language drivers, Paradox
    // headers and schema files name, with or without a system converter.
    struct TCase {
        int CodePage;
        unsigned char Byte;
        const char* Character;
    };
    const TCase cases[] = {
        {737, 0x80, "Α"},   {737, 0xE0, "ω"},   {775, 0xD0, "ą"},   {855, 0x80, "ђ"},
        {858, 0xD5, "€"},   {862, 0x80, "א"},   {869, 0xD6, "α"},   {895, 0x80, "Č"},
        {895, 0xA9, "ř"},   {895, 0xE1, "ß"},   {620, 0x86, "ą"},   {620, 0x9C, "Ł"},
        {620, 0xA1, "Ż"},   {10006, 0xE1, "α"}, {10006, 0xB0, "Α"}, {10006, 0x80, "Ä"},
        {10007, 0x80, "А"}, {10029, 0x88, "ą"}, {1051, 0xC5, "é"},  {1051, 0xDE, "ß"},
        {20866, 0xC1, "а"}, {28592, 0xB1, "ą"}, {28605, 0xA4, "€"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.CodePage);
        ASSERT_TRUE(TCodePage::Supported(c.CodePage));
        EXPECT_TRUE(TCodePage::SingleByte(c.CodePage));
        EXPECT_EQ(FromPage(c.CodePage, std::string(1, static_cast<char>(c.Byte))), c.Character);
        EXPECT_EQ(InPage(c.CodePage, c.Character), std::string(1, static_cast<char>(c.Byte)));
    }
    for (int cp : {932, 936, 949, 950, 51932, 54936, 65001}) {
        EXPECT_TRUE(TCodePage::Supported(cp)) << cp;
        EXPECT_FALSE(TCodePage::SingleByte(cp)) << cp;
    }
    EXPECT_FALSE(TCodePage::Supported(12345));
    EXPECT_THROW(TCodePage(12345), EDatabaseError);
}

TEST(CodePages, ConvertersThatComposeAccentsKeepTheLastCharacter) {
    // Vietnamese 1258 and Hebrew 1255 hold a letter back in case a combining
    // mark follows; the end of a value must still give it.
    EXPECT_EQ(FromPage(1258, "\x96"
                             "Bo"),
              "–Bo");
    EXPECT_EQ(FromPage(1258, "\xE0"
                             "a"),
              "àa");
    EXPECT_EQ(FromPage(1258, "Vi\xEA\xF2t"), "Việt");
    EXPECT_EQ(FromPage(1255, "a\xE0"), "aא");
    EXPECT_EQ(InPage(1258, "Việt Nam"), "Vi\xEA\xF2t Nam");
}

TEST(CodePages, EveryByteOfTheProgramsOwnTablesRoundTrips) {
    for (int page : {895, 620, 10006}) {
        SCOPED_TRACE(page);
        TCodePage cp(page);
        std::string all, utf8, back;
        for (int b = 1; b < 256; ++b)
            all += static_cast<char>(b);
        cp.ToUtf8(all, utf8);
        const bool clean = cp.FromUtf8(utf8, back);
        if (page == 10006) {
            // 0xFF names no character in Mac Greek: it reads as U+FFFD and
            // cannot be written back.
            EXPECT_FALSE(clean);
            EXPECT_EQ(utf8.substr(utf8.size() - 3), "\xEF\xBF\xBD");
            EXPECT_EQ(back, all.substr(0, 254) + "?");
        } else {
            EXPECT_TRUE(clean);
            EXPECT_EQ(back, all);
        }
        // ASCII stays as it is; characters the page lacks are refused.
        EXPECT_EQ(FromPage(page, "Plain ASCII 123"), "Plain ASCII 123");
        std::string out;
        EXPECT_FALSE(cp.FromUtf8("a\xE4\xB8\xAD"
                                 "b",
                                 out));
        EXPECT_EQ(out, "a?b");
        // A broken UTF-8 sequence is one refused character, not a crash.
        EXPECT_FALSE(cp.FromUtf8("x\xC3", out));
        EXPECT_EQ(out, "x?");
    }
}

// Writing to a page, a broken UTF-8 sequence is refused as far as it is
// broken: the characters after it stay, and an overlong form never writes the
// byte it would spell (NUL here).
TEST(CodePages, BrokenUtf8IsRefusedAsFarAsItIsBroken) {
    for (int page : {1252, 866, 895}) {
        SCOPED_TRACE(page);
        TCodePage cp(page);
        std::string out;
        EXPECT_FALSE(cp.FromUtf8("x\xE4y z\xC3", out));
        EXPECT_EQ(out, "x?y z?");
        EXPECT_FALSE(cp.FromUtf8("a\xE0\x80\x80"
                                 "b\xC0\xAF"
                                 "c\xED\xA0\x80"
                                 "d",
                                 out));
        EXPECT_EQ(out, "a???b??c???d");
        EXPECT_FALSE(cp.FromUtf8("\xF0\x9F\x98x\xF4\x90\x80\x80", out));
        EXPECT_EQ(out, "?x????");
    }
}

TEST(CodePages, NamesUsersGive) {
    EXPECT_EQ(TCodePage::NumberOfName("866"), 866);
    EXPECT_EQ(TCodePage::NumberOfName("cp866"), 866);
    EXPECT_EQ(TCodePage::NumberOfName("IBM850"), 850);
    EXPECT_EQ(TCodePage::NumberOfName("windows-1251"), 1251);
    EXPECT_EQ(TCodePage::NumberOfName(" utf-8 "), 65001);
    EXPECT_EQ(TCodePage::NumberOfName("iso-8859-2"), 28592);
    EXPECT_EQ(TCodePage::NumberOfName("koi8-r"), 20866);
    EXPECT_EQ(TCodePage::NumberOfName("shift_jis"), 932);
    EXPECT_EQ(TCodePage::NumberOfName("roman8"), 1051);
    EXPECT_EQ(TCodePage::NumberOfName("klingon"), 0);
    EXPECT_EQ(TCodePage::NumberOfName("iso-8859-12"), 0);
    EXPECT_EQ(TCodePage::NumberOfName("cp"), 0);
}

TEST(CodePageDetector, Utf8AndAscii) {
    EXPECT_EQ(Detect("plain, 123", 1252), 1252) << "ASCII: the caller's choice";
    EXPECT_EQ(Detect("plain, 123", 65001), 65001);
    EXPECT_EQ(Detect("Zoë Ærø, Жук, 中文"), 65001);
    // A value cut inside a character by its field's width is still UTF-8
    // when the cut is at the piece's end...
    TCodePageDetector cut;
    cut.Add("Zoë", false);
    cut.Add("Ær\xC3", true);
    EXPECT_EQ(cut.Result(1252), 65001);
    // ...but a lone lead byte at the end of a value that did not fill its
    // field is a single-byte letter ("Café" in Windows-1252).
    TCodePageDetector whole;
    whole.Add("Caf\xE9", false);
    const int single = whole.Result(65001);
    EXPECT_NE(single, 65001);
    EXPECT_EQ(FromPage(single, "Caf\xE9"), "Café");
    // Only lead bytes, never a whole sequence: no evidence of UTF-8.
    TCodePageDetector leads;
    leads.Add("ab\xC3", true);
    EXPECT_NE(leads.Result(1252), 65001);
}

TEST(CodePageDetector, DosAndWindowsPagesOfEachScript) {
    struct TCase {
        int CodePage;
        const char* Text;
        int Accepted = 0; // another page that reads these letters the same
    };
    const TCase cases[] = {
        {1252, "Müller, Größe, Straße, Köln, Bäckerei, Fußball, Überweisung, Öffnungszeiten"},
        {850, "Müller, Größe, Straße, Köln, Bäckerei, Fußball, Überweisung, Öffnungszeiten"},
        {437, "Müller, Größe, Straße, Köln, Bäckerei, Fußball, Überweisung, Öffnungszeiten", 850},
        {1252, "L'été à Paris, où l'on mange des crêpes et du pâté; garçon, façade, élève"},
        {850, "København, Århus, Ålborg, Søren, Bjørn, blåbærsyltetøj, Næstved, Køge"},
        {1250, "Příliš žluťoučký kůň úpěl ďábelské ódy, Plzeň, České Budějovice, Dvořák"},
        {852, "Příliš žluťoučký kůň úpěl ďábelské ódy, Plzeň, České Budějovice, Dvořák"},
        {852, "Zażółć gęślą jaźń, Łódź, Kraków, Wrocław, Gdańsk, Poznań, Częstochowa"},
        {620, "Zażółć gęślą jaźń, Łódź, Kraków, Wrocław, Gdańsk, Poznań, Częstochowa"},
        {895, "Příliš žluťoučký kůň úpěl ďábelské ódy, Plzeň, České Budějovice, Dvořák"},
        {1251, "Москва, Санкт-Петербург, Новосибирск, Иванов Иван Иванович, улица Ленина"},
        {866, "Москва, Санкт-Петербург, Новосибирск, Иванов Иван Иванович, улица Ленина"},
        {1253, "Αθήνα, Θεσσαλονίκη, Πάτρα, Ηράκλειο, Λάρισα, Καλημέρα κόσμε, Γεώργιος"},
        {737, "Αθήνα, Θεσσαλονίκη, Πάτρα, Ηράκλειο, Λάρισα, Καλημέρα κόσμε, Γεώργιος"},
        {857, "İstanbul, Ankara, İzmir, çalışma, Şeker, Eskişehir, Diyarbakır, Muğla"},
        {1254, "İstanbul, Ankara, İzmir, çalışma, Şeker, Eskişehir, Diyarbakır, Muğla"},
        {932, "東京都新宿区,日本語のテキスト,株式会社,山田太郎"},
        {950, "臺北市,中華民國,繁體中文,測試資料,王小明"},
        {949, "서울특별시,대한민국,한국어,테스트,김철수"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.CodePage) + ": " + c.Text);
        const std::string bytes = InPage(c.CodePage, c.Text);
        const int got = Detect(bytes);
        if (got != c.CodePage) {
            EXPECT_EQ(got, c.Accepted);
        }
        EXPECT_EQ(FromPage(got, bytes), c.Text);
    }
}

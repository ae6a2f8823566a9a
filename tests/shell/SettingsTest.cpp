#include "shell/Settings.h"
#include "shell/CommandLine.h"

#include <QSettings>
#include <QTemporaryDir>
#include <fstream>
#include <gtest/gtest.h>

namespace {
// An INI store in a folder of its own, so tests never touch the user's.
struct TStoreFixture : ::testing::Test {
    QTemporaryDir Dir;
    std::unique_ptr<QSettings> Store;
    void SetUp() override {
        Store = std::make_unique<QSettings>(Dir.filePath(QStringLiteral("t.ini")),
                                            QSettings::IniFormat);
    }
    void Put(const char* name, const char* text) {
        Store->setValue(QStringLiteral("Settings/") + QLatin1String(name), QLatin1String(text));
    }
};
} // namespace

TEST_F(TStoreFixture, FirstStartGivesTheDefaults) {
    TSettings s;
    s.RecsPerLine = 7;
    s.LoadSettings(*Store);
    EXPECT_TRUE(s.IncludeColNames);
    EXPECT_FALSE(s.IncludeMemoData);
    EXPECT_TRUE(s.IncludeImages);
    EXPECT_TRUE(s.ButtonHints && s.ColumnHints && s.DataHints);
    EXPECT_TRUE(s.AlwaysTryADO);
    EXPECT_EQ(s.RecsPerLine, 1);
    EXPECT_EQ(s.FormatType, 0);
    EXPECT_EQ(s.ActionType, 0);
    EXPECT_EQ(s.Separator, "\t");
    EXPECT_EQ(s.RangeType, 0);
}

TEST_F(TStoreFixture, BadStoredValuesFallBackToDefaults) {
    for (const char* bad : {"0", "101", "abc", ""}) {
        Put("RecsPerLine", bad);
        TSettings s;
        s.LoadSettings(*Store);
        EXPECT_EQ(s.RecsPerLine, 1) << bad;
    }
    Put("RecsPerLine", "100");
    Put("FormatType", "-1");
    Put("ActionType", "3");
    Put("RangeType", "4");
    Put("IncludeMemoData", "2");
    Put("IncludeColNames", "x");
    Put("Separator", "");
    TSettings s;
    s.LoadSettings(*Store);
    EXPECT_EQ(s.RecsPerLine, 100);
    EXPECT_EQ(s.FormatType, 0);
    EXPECT_EQ(s.ActionType, 3);
    EXPECT_EQ(s.RangeType, 0);
    EXPECT_TRUE(s.IncludeMemoData) << "any number but 0 is true";
    EXPECT_TRUE(s.IncludeColNames) << "not a number: the default";
    EXPECT_EQ(s.Separator, "") << "an empty stored separator stays empty";
    Put("FormatType", "5");
    s.LoadSettings(*Store);
    EXPECT_EQ(s.FormatType, 5) << "XLSX";
    Put("FormatType", "6");
    s.LoadSettings(*Store);
    EXPECT_EQ(s.FormatType, 0);
}

TEST_F(TStoreFixture, SavedValuesComeBackAsTexts) {
    TSettings s;
    s.RecsPerLine = 12;
    s.FormatType = 3;
    s.Separator = ";";
    s.IncludeImages = false;
    s.SaveSettings(*Store);
    EXPECT_EQ(Store->value(QStringLiteral("Settings/RecsPerLine")).toString(),
              QStringLiteral("12"));
    EXPECT_EQ(Store->value(QStringLiteral("Settings/IncludeImages")).toString(),
              QStringLiteral("0"));
    TSettings back;
    back.LoadSettings(*Store);
    EXPECT_EQ(back.RecsPerLine, 12);
    EXPECT_EQ(back.FormatType, 3);
    EXPECT_EQ(back.Separator, ";");
    EXPECT_FALSE(back.IncludeImages);
}

TEST_F(TStoreFixture, TheSeparatorRoundTripsAnyCharacter) {
    const std::string separators[] = {"\xC2\xA7",
                                      "\xE2\x82\xAC",
                                      "\xF0\x9F\x98\x80",
                                      "\"",
                                      "'",
                                      "\r",
                                      "\n",
                                      "\r\n",
                                      ",",
                                      ";",
                                      "=",
                                      "#",
                                      " ",
                                      "[",
                                      "\\",
                                      std::string(1, '\0'),
                                      "\x7F",
                                      "\xC2\x85",
                                      "a,b",
                                      " x "};
    for (const std::string& sep : separators) {
        TSettings s;
        s.Separator = sep;
        s.SaveSettings(*Store);
        // A fresh store reads the file, not what the first one holds in memory.
        QSettings again(Dir.filePath(QStringLiteral("t.ini")), QSettings::IniFormat);
        TSettings back;
        back.LoadSettings(again);
        EXPECT_EQ(back.Separator, sep);
    }
}

TEST_F(TStoreFixture, AHandWrittenSeparatorIsTakenAsWritten) {
    // The store reads a bare comma as a list; an escape as its character.
    const std::pair<const char*, const char*> cases[] = {
        {"Separator=,", ","}, {"Separator=a,b", "a,b"}, {"Separator=\\xa7", "\xC2\xA7"}};
    for (const auto& [line, separator] : cases) {
        Store.reset();
        std::ofstream(Dir.filePath(QStringLiteral("t.ini")).toStdString()) << "[Settings]\n"
                                                                           << line << "\n";
        SetUp();
        TSettings s;
        s.LoadSettings(*Store);
        EXPECT_EQ(s.Separator, separator) << line;
    }
}

TEST(CommandLineParse, OptionsAnywhereInAnyCase) {
    TCommandLine c =
        ParseCommandLine({"/EXPORT", "/data/orders.dbf", "-Separator=#59", "/out/orders.dat",
                          "-exporttype=", "-ExportType=xls", "-exporttype=rtf", "-bogus"});
    EXPECT_TRUE(c.Export);
    EXPECT_EQ(c.TableName, "/data/orders.dbf") << "a path starting with / is not an option";
    EXPECT_EQ(c.Destination, "/out/orders.dat");
    EXPECT_EQ(c.FormatName, "XLS") << "the first non-empty type counts";
    EXPECT_EQ(c.Separator, ";");
    EXPECT_FALSE(c.Ado);
}

TEST(CommandLineParse, SeparatorValues) {
    EXPECT_EQ(ParseCommandLine({"-separator=X"}).Separator, "x") << "options are lower-cased";
    EXPECT_EQ(ParseCommandLine({"-separator=#9"}).Separator, "\t");
    EXPECT_EQ(ParseCommandLine({"-separator=#abc"}).Separator, "#abc") << "not a number: as text";
    EXPECT_FALSE(ParseCommandLine({"-separator="}).HasSeparator) << "alone it is ignored";
    EXPECT_EQ(ParseCommandLine({"-separator=a", "-separator=", "-separator=b"}).Separator, "b");
}

TEST(CommandLineParse, SeparatorsAreCharacters) {
    auto sep = [](const std::string& option) {
        TCommandLine c = ParseCommandLine({option});
        EXPECT_EQ(c.Error, "") << option;
        EXPECT_TRUE(c.HasSeparator) << option;
        return c.Separator;
    };
    EXPECT_EQ(sep("-separator=\xC2\xA7"), "\xC2\xA7") << "a whole UTF-8 sequence";
    EXPECT_EQ(sep("-separator=\xE2\x82\xACx"), "\xE2\x82\xACx")
        << "kept; its first character is used";
    EXPECT_EQ(sep("-separator=\xF0\x9F\x98\x80"), "\xF0\x9F\x98\x80");
    // Codes below 256 are the Windows Western code page's characters.
    EXPECT_EQ(sep("-separator=#167"), "\xC2\xA7");
    EXPECT_EQ(sep("-separator=#128"), "\xE2\x82\xAC") << "the euro sign of windows-1252";
    EXPECT_EQ(sep("-separator=#159"), "\xC5\xB8");
    EXPECT_EQ(sep("-separator=#129"), "\xC2\x81") << "a code the page leaves free";
    EXPECT_EQ(sep("-separator=#160"), "\xC2\xA0");
    EXPECT_EQ(sep("-separator=#255"), "\xC3\xBF");
    EXPECT_EQ(sep("-separator=#127"), "\x7F");
    EXPECT_EQ(sep("-separator=#0"), std::string(1, '\0'));
    EXPECT_EQ(sep("-separator=#59"), ";");
    EXPECT_EQ(sep("-separator=#013"), "\r");
    // Above, Unicode's code points, decimal or hexadecimal.
    EXPECT_EQ(sep("-separator=#315"), "\xC4\xBB") << "no longer the code's low byte";
    EXPECT_EQ(sep("-separator=#8364"), "\xE2\x82\xAC");
    EXPECT_EQ(sep("-separator=#$A7"), "\xC2\xA7");
    EXPECT_EQ(sep("-separator=#0x20ac"), "\xE2\x82\xAC");
    EXPECT_EQ(sep("-separator=#$10FFFF"), "\xF4\x8F\xBF\xBF");
    EXPECT_EQ(sep("-separator=#128512"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(sep("-separator=#+59"), ";");
    // What is no number stays text.
    EXPECT_EQ(sep("-separator=#"), "#");
    EXPECT_EQ(sep("-separator=#-x"), "#-x");
    EXPECT_EQ(sep("-separator=#\xC2\xA7"), "#\xC2\xA7");
}

TEST(CommandLineParse, SeparatorsThatNameNoCharacterAreErrors) {
    struct TCase {
        const char* Option;
        const char* Says;
    } cases[] = {
        {"-separator=#55296", "#55296 names no character: #55296 to #57343"},
        {"-separator=#$dfff", "#$dfff names no character: #55296 to #57343"},
        {"-separator=#1114112", "#1114112 names no character: the largest code is #1114111"},
        {"-separator=#99999999999999999999999", "names no character: the largest code"},
        {"-separator=#-1", "#-1 names no character: codes are not negative"},
        {"-separator=#59x", "#59x is not a number"},
        {"-separator=#$", "#$ is not a number"},
        {"-separator=#0xg", "#0xg is not a number"},
        {"-separator=#1\xA7", "#1? is not a number"},
        {"-separator=\xA7", "The separator is not UTF-8 text."},
        {"-separator=a\xE2\x82", "The separator is not UTF-8 text."},
    };
    for (const TCase& c : cases) {
        TCommandLine cl = ParseCommandLine({"-e", "t.dbf", "o.txt", c.Option});
        EXPECT_NE(cl.Error.find(c.Says), std::string::npos) << c.Option << ": " << cl.Error;
        EXPECT_FALSE(cl.HasSeparator) << c.Option;
        EXPECT_EQ(cl.Separator, "") << c.Option;
    }
    // The first wrong one is reported, whatever comes after.
    TCommandLine cl = ParseCommandLine({"-separator=#55296", "-separator=;", "-separator=#-2"});
    EXPECT_NE(cl.Error.find("#55296"), std::string::npos) << cl.Error;
    EXPECT_EQ(cl.Separator, ";");
    EXPECT_EQ(ParseCommandLine({"-separator=;"}).Error, "");
}

TEST(CommandLineParse, TableNameWithoutExport) {
    EXPECT_EQ(ParseCommandLine({"/My", "Data/orders.db"}).TableName, "/My Data/orders.db");
    EXPECT_EQ(ParseCommandLine({"-ado", "/x.dbf", "extra"}).TableName, "/x.dbf");
    TCommandLine e = ParseCommandLine({"-e", "a.dbf"});
    EXPECT_EQ(e.Destination, "");
    std::vector<std::string> many(20, "p");
    many.push_back("-export");
    EXPECT_FALSE(ParseCommandLine(many).Export) << "a 21st parameter is never looked at";
}

TEST(CommandLineParse, CodePageOption) {
    EXPECT_EQ(ParseCommandLine({"-codepage=866", "t.dbf"}).CodePage, 866);
    EXPECT_EQ(ParseCommandLine({"/CodePage=CP1251", "t.dbf"}).CodePage, 1251);
    EXPECT_EQ(ParseCommandLine({"-codepage=UTF-8"}).CodePage, 65001);
    EXPECT_EQ(ParseCommandLine({"-codepage=866", "-codepage=auto"}).CodePage, 0);
    EXPECT_EQ(ParseCommandLine({"-codepage=866", "-codepage="}).CodePage, 866) << "empty: ignored";
    TCommandLine bad = ParseCommandLine({"-codepage=klingon", "t.dbf"});
    EXPECT_EQ(bad.Error.rfind("Unknown code page: klingon (", 0), 0u) << bad.Error;
    EXPECT_NE(ParseCommandLine({"-codepage=4242"}).Error, "") << "no converter";
    // Not part of a table name given without quotes, and never a path.
    EXPECT_EQ(ParseCommandLine({"/My", "-codepage=866", "Data/orders.db"}).TableName,
              "/My Data/orders.db");
    EXPECT_EQ(ParseCommandLine({"/codepage=866", "/t.dbf"}).TableName, "/t.dbf");
    TCommandLine e = ParseCommandLine({"-e", "-codepage=437", "a.dbf", "a.txt"});
    EXPECT_EQ(e.TableName, "a.dbf");
    EXPECT_EQ(e.Destination, "a.txt");
}

TEST(CommandLineParse, FormatsAndTexts) {
    EXPECT_EQ(FormatTypeOfName("HTM"), 1);
    EXPECT_EQ(FormatTypeOfName("HTML"), 1);
    EXPECT_EQ(FormatTypeOfName("XML"), 2);
    EXPECT_EQ(FormatTypeOfName("RTF"), 3);
    EXPECT_EQ(FormatTypeOfName("XLS"), 4);
    EXPECT_EQ(FormatTypeOfName("XLSX"), 5);
    EXPECT_EQ(FormatTypeOfName("XLSM"), 0);
    EXPECT_EQ(FormatTypeOfName("CSV"), 0);
    EXPECT_EQ(FormatNameOfDestination("/out/o.Htm"), "HTM");
    EXPECT_EQ(FormatNameOfDestination("/out/noext"), "");
    EXPECT_EQ(FileDoesNotExistText("/m.dbf"),
              "Errors in command line.\r\nFile does not exist:\r\r/m.dbf");
    EXPECT_EQ(NoDestinationText(),
              "Errors in command line.\r\nDestination file name does not specified.");
}

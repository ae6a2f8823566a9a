#include "shell/CommandLine.h"
#include "shell/Settings.h"

#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
// An INI store in a folder of its own, so tests never touch the user's.
struct TStoreFixture : ::testing::Test {
    QTemporaryDir Dir;
    std::unique_ptr<QSettings> Store;
    void SetUp() override {
        Store = std::make_unique<QSettings>(Dir.filePath(QStringLiteral("t.ini")), QSettings::IniFormat);
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
    EXPECT_EQ(s.FormatType, 0);
}

TEST_F(TStoreFixture, SavedValuesComeBackAsTexts) {
    TSettings s;
    s.RecsPerLine = 12;
    s.FormatType = 3;
    s.Separator = ";";
    s.IncludeImages = false;
    s.SaveSettings(*Store);
    EXPECT_EQ(Store->value(QStringLiteral("Settings/RecsPerLine")).toString(), QStringLiteral("12"));
    EXPECT_EQ(Store->value(QStringLiteral("Settings/IncludeImages")).toString(), QStringLiteral("0"));
    TSettings back;
    back.LoadSettings(*Store);
    EXPECT_EQ(back.RecsPerLine, 12);
    EXPECT_EQ(back.FormatType, 3);
    EXPECT_EQ(back.Separator, ";");
    EXPECT_FALSE(back.IncludeImages);
}

TEST(CommandLineParse, OptionsAnywhereInAnyCase) {
    TCommandLine c = ParseCommandLine({"/EXPORT", "/data/orders.dbf", "-Separator=#59",
                                       "/out/orders.dat", "-exporttype=", "-ExportType=xls",
                                       "-exporttype=rtf", "-bogus"});
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
    EXPECT_EQ(ParseCommandLine({"-separator=#315"}).Separator, ";") << "the code's low byte";
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

TEST(CommandLineParse, FormatsAndTexts) {
    EXPECT_EQ(FormatTypeOfName("HTM"), 1);
    EXPECT_EQ(FormatTypeOfName("HTML"), 1);
    EXPECT_EQ(FormatTypeOfName("XML"), 2);
    EXPECT_EQ(FormatTypeOfName("RTF"), 3);
    EXPECT_EQ(FormatTypeOfName("XLS"), 4);
    EXPECT_EQ(FormatTypeOfName("CSV"), 0);
    EXPECT_EQ(FormatNameOfDestination("/out/o.Htm"), "HTM");
    EXPECT_EQ(FormatNameOfDestination("/out/noext"), "");
    EXPECT_EQ(FileDoesNotExistText("/m.dbf"), "Errors in command line.\r\nFile does not exist:\r\r/m.dbf");
    EXPECT_EQ(NoDestinationText(),
              "Errors in command line.\r\nDestination file name does not specified.");
}

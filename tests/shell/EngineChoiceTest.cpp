#include "shell/EngineChoice.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

TEST(EngineChoice, ChoiceTable) {
    fs::path dir = fs::temp_directory_path() / "tabulon-engine-choice";
    fs::create_directories(dir);
    std::ofstream((dir / "with.sch").string()) << "[with]\n";
    auto ado = [&](const char* name, bool bde, bool prefer) {
        return ChooseADO(SplitTablePath((dir / name).string()), bde, prefer);
    };
    EXPECT_FALSE(ado("orders.dbf", true, false));
    EXPECT_FALSE(ado("orders.DB", true, false)) << "extensions compare in lower case";
    EXPECT_TRUE(ado("orders.csv", true, false));
    EXPECT_TRUE(ado("orders.tab", true, false));
    EXPECT_TRUE(ado("plain.txt", true, false));
    EXPECT_FALSE(ado("with.txt", true, false)) << "a schema beside it";
    EXPECT_TRUE(ado("orders.dbf", false, false)) << "no index-ordered engine";
    EXPECT_TRUE(ado("orders.dbf", true, true)) << "ADO preferred";
    fs::remove_all(dir);
}

TEST(EngineChoice, ConnectionTexts) {
    EXPECT_EQ(ADOConnectionText(".dbf", "/data"),
              "Driver={Microsoft dBase Driver (*.dbf)};DriverID=277;DefaultDir=/data;");
    EXPECT_EQ(ADOConnectionText(".db", "/data"),
              "Driver={Microsoft Paradox Driver (*.db )};DriverID=26;DefaultDir=/data;");
    EXPECT_EQ(ADOConnectionText(".csv", "/d"),
              "Driver={Microsoft Text Driver (*.txt; *.csv)};Extensions=asc,csv,tab,txt;DefaultDir=/d;");
    EXPECT_EQ(ADOConnectionText(".xyz", "/d"), "Driver={Microsoft Text Driver (*.txt; *.csv)};DefaultDir=/d;");
}

TEST(EngineChoice, PathParts) {
    TTablePath p = SplitTablePath("/data/x/Orders.DBF");
    EXPECT_EQ(p.Ext, ".dbf");
    EXPECT_EQ(p.Dir, "/data/x");
    EXPECT_EQ(p.Name, "Orders.DBF");
    EXPECT_EQ(SplitTablePath("/t.db").Dir, "/") << "the root keeps its separator";
}

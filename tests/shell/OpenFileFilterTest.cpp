#include "shell/OpenFileFilter.h"

#include <gtest/gtest.h>

TEST(OpenFileFilter, DroppedFilesChooseTheirFilter) {
    EXPECT_EQ(DroppedFileFilterIndex("/data/orders.db"), 1);
    EXPECT_EQ(DroppedFileFilterIndex("/data/ORDERS.DBF"), 1);
    EXPECT_EQ(DroppedFileFilterIndex("stock.Txt"), 2);
    EXPECT_EQ(DroppedFileFilterIndex("/a.b/products.csv"), 3);
    EXPECT_EQ(DroppedFileFilterIndex("/data/sheet.xls"), 0);
    EXPECT_EQ(DroppedFileFilterIndex("/data/dbf"), 0) << "a name without extension is not taken";
    EXPECT_EQ(DroppedFileFilterIndex("/data.dbf/readme"), 0);
    EXPECT_EQ(DroppedFileFilterIndex("/data/x.asc"), 0) << "the drop takes four extensions only";
}

TEST(OpenFileFilter, TheFirstTakenFileWins) {
    EXPECT_EQ(FirstDroppedTable({"a.xls", "b.doc", "c.csv", "d.dbf"}), 2);
    EXPECT_EQ(FirstDroppedTable({"a.xls", "b.xlsx"}), -1);
    EXPECT_EQ(FirstDroppedTable({}), -1);
}

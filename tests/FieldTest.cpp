#include "data/base/DatabaseError.h"
#include "data/engines/TblUtils.h"
#include "data/locale/DateTimeFormat.h"
#include "tests/support/TestTables.h"

#include <gtest/gtest.h>

namespace {
// One record holding a value of every kind the writers tell apart.
void MakeAllKinds(TMemTable& t, bool nulls) {
    const TFieldType kinds[] = {ftString,   ftSmallint,   ftInteger,  ftWord,     ftBoolean,
                                ftFloat,    ftCurrency,   ftBCD,      ftDate,     ftTime,
                                ftDateTime, ftAutoInc,    ftBlob,     ftMemo,     ftGraphic,
                                ftFmtMemo,  ftParadoxOle, ftDBaseOle, ftLargeint, ftBytes};
    for (TFieldType k : kinds)
        t.FieldDefs().Add("F" + std::to_string(static_cast<int>(k)), k, 10);
    t.Open();
    if (nulls) {
        t.AppendRecord(std::vector<TValue>{});
    } else {
        double date = EncodeDate(2024, 2, 29);
        double time = EncodeTime(13, 5, 9, 0);
        t.AppendRecord({TValue::OfText("text"),
                        TValue::OfInt(-7),
                        TValue::OfInt(123456),
                        TValue::OfInt(65535),
                        TValue::OfBool(true),
                        TValue::OfFloat(0.1 + 0.2),
                        TValue::OfFloat(-1234.5),
                        TValue::OfFloat(1.5),
                        TValue::OfDateTime(date),
                        TValue::OfDateTime(time),
                        TValue::OfDateTime(date + time),
                        TValue::OfInt(4),
                        TValue::OfBytes(std::string("\x00\x01", 2)),
                        TValue::OfText("line1\r\nline2"),
                        TValue::OfBytes("BM.."),
                        TValue::OfText("{\\rtf1}"),
                        TValue::OfBytes("ole"),
                        TValue::OfBytes("ole"),
                        TValue::OfInt(123456789012345LL),
                        TValue::OfBytes("\xAB\x01")});
    }
    t.First();
}

std::string Shown(TDataSet& t, TFieldType k) {
    return t.FieldByName("F" + std::to_string(static_cast<int>(k))).DisplayText();
}
} // namespace

TEST(FieldKinds, OrdinalsAndTypeNames) {
    EXPECT_EQ(ftString, 1);
    EXPECT_EQ(ftDateTime, 11);
    EXPECT_EQ(ftAutoInc, 14);
    EXPECT_EQ(ftMemo, 16);
    EXPECT_EQ(ftParadoxOle, 19);
    EXPECT_EQ(ftDBaseOle, 20);
    EXPECT_EQ(ftCursor, 22);
    EXPECT_EQ(ftGuid, 35);
    EXPECT_EQ(GetFieldTypeName(ftSmallint), "SmallInt");
    EXPECT_EQ(GetFieldTypeName(ftLargeint), "LargeInt");
    EXPECT_EQ(GetFieldTypeName(ftCursor), "Unknown");
    EXPECT_EQ(GetFieldTypeName(ftADT), "ADT (abstract)");
    EXPECT_EQ(GetFieldTypeName(ftMemo + 128), "Memo") << "only the low seven bits count";
    EXPECT_EQ(GetFieldTypeName(100), "Unknown");
}

TEST(FieldKinds, ClassTests) {
    TMemTable t;
    MakeAllKinds(t, false);
    auto f = [&](TFieldType k) -> TField& {
        return t.FieldByName("F" + std::to_string(static_cast<int>(k)));
    };
    for (TFieldType k :
         {ftSmallint, ftInteger, ftWord, ftAutoInc, ftLargeint, ftFloat, ftCurrency, ftBCD}) {
        EXPECT_TRUE(f(k).IsNumeric()) << k;
        EXPECT_EQ(f(k).Alignment(), taRightJustify) << k;
    }
    for (TFieldType k : {ftString, ftBoolean, ftDate, ftMemo})
        EXPECT_FALSE(f(k).IsNumeric()) << k;
    for (TFieldType k : {ftBlob, ftMemo, ftGraphic, ftFmtMemo, ftParadoxOle, ftDBaseOle})
        EXPECT_TRUE(f(k).IsBlob()) << k;
    EXPECT_FALSE(f(ftBytes).IsBlob());
    EXPECT_TRUE(f(ftMemo).IsMemo());
    EXPECT_TRUE(f(ftFmtMemo).IsMemo());
    EXPECT_FALSE(f(ftBlob).IsMemo());
    EXPECT_TRUE(f(ftGraphic).IsGraphic());
    EXPECT_TRUE(f(ftBoolean).IsBoolean());
}

TEST(FieldText, ValuesShowWithoutLosingDigitsOrCentury) {
    TScopedFormatSettings classic(TFormatSettings::Classic());
    TMemTable t;
    MakeAllKinds(t, false);
    EXPECT_EQ(Shown(t, ftString), "text");
    EXPECT_EQ(Shown(t, ftSmallint), "-7");
    EXPECT_EQ(Shown(t, ftWord), "65535");
    EXPECT_EQ(Shown(t, ftBoolean), "True");
    EXPECT_EQ(Shown(t, ftFloat), "0.3");
    EXPECT_EQ(Shown(t, ftCurrency), "-$1,234.50");
    EXPECT_EQ(t.FieldByName("F7").AsString(), "-1234.5") << "raw text has no currency format";
    EXPECT_EQ(Shown(t, ftBCD), "1.5");
    EXPECT_NE(Shown(t, ftDate).find("2024"), std::string::npos);
    EXPECT_NE(Shown(t, ftDateTime).find("13:05:09"), std::string::npos);
    EXPECT_EQ(Shown(t, ftLargeint), "123456789012345");
    EXPECT_EQ(Shown(t, ftBytes), "AB01");
    EXPECT_EQ(t.FieldByName("F16").AsString(), "line1\r\nline2");
}

TEST(FieldText, DecimalSeparatorComesFromTheLocale) {
    TFormatSettings de = TFormatSettings::Classic();
    de.DecimalSeparator = ',';
    de.ThousandSeparator = '.';
    TScopedFormatSettings scoped(de);
    TMemTable t;
    MakeAllKinds(t, false);
    EXPECT_EQ(Shown(t, ftBCD), "1,5");
    t.Edit();
    t.FieldByName("F8").SetAsString("2,25");
    EXPECT_DOUBLE_EQ(t.FieldByName("F8").AsFloat(), 2.25);
    t.Cancel();
}

TEST(FieldText, BlobPlaceholdersInCapitalsOnlyWhenAValueIsThere) {
    TMemTable full, empty;
    MakeAllKinds(full, false);
    MakeAllKinds(empty, true);
    EXPECT_EQ(Shown(full, ftMemo), "(MEMO)");
    EXPECT_EQ(Shown(empty, ftMemo), "(Memo)");
    EXPECT_EQ(Shown(full, ftGraphic), "(GRAPHIC)");
    EXPECT_EQ(Shown(empty, ftGraphic), "(Graphic)");
    EXPECT_EQ(Shown(full, ftBlob), "(BLOB)");
    EXPECT_EQ(Shown(empty, ftBlob), "(Blob)");
    EXPECT_EQ(Shown(full, ftFmtMemo), "(FMTMEMO)");
    EXPECT_EQ(Shown(empty, ftString), "");
    EXPECT_EQ(Shown(empty, ftInteger), "");
    EXPECT_TRUE(empty.FieldByName("F5").IsNull());
    EXPECT_FALSE(empty.FieldByName("F5").AsBoolean());
}

TEST(FieldText, OnGetTextSuppliesTheText) {
    TMemTable t;
    MakeNumberedTable(t, 1);
    TField& id = t.FieldByName("ID");
    bool sawDisplay = false;
    id.OnGetText = [&](TField& f, std::string& text, bool display) {
        sawDisplay = display;
        text = "#" + f.AsString();
    };
    EXPECT_EQ(id.DisplayText(), "#1");
    EXPECT_TRUE(sawDisplay);
    EXPECT_EQ(id.EditText(), "#1");
    EXPECT_FALSE(sawDisplay);
    EXPECT_EQ(id.AsString(), "1");
}

TEST(FieldValues, ConversionsAndRangeChecks) {
    TMemTable t;
    MakeAllKinds(t, false);
    TField& small = t.FieldByName("F2");
    EXPECT_EQ(small.AsInteger(), -7);
    EXPECT_DOUBLE_EQ(small.AsFloat(), -7.0);
    EXPECT_THROW(t.FieldByName("F1").AsInteger(), std::exception);
    EXPECT_THROW(t.FieldByName("F25").AsInteger(), EDatabaseError) << "too big for 32 bits";
    EXPECT_EQ(t.FieldByName("F25").AsLargeInt(), 123456789012345LL);
    t.Edit();
    EXPECT_THROW(small.SetAsString("40000"), EDatabaseError);
    EXPECT_THROW(t.FieldByName("F4").SetAsString("-1"), EDatabaseError);
    t.FieldByName("F5").SetAsString("false");
    EXPECT_FALSE(t.FieldByName("F5").AsBoolean());
    EXPECT_THROW(t.FieldByName("F5").SetAsString("maybe"), EConvertError);
    t.FieldByName("F12").SetAsString("00ff");
    EXPECT_EQ(t.FieldByName("F12").DisplayText(), "00FF");
    t.FieldByName("F2").SetAsString("");
    EXPECT_TRUE(t.FieldByName("F2").IsNull()) << "an empty text clears a number";
    t.Post();
    EXPECT_FALSE(t.FieldByName("F5").AsBoolean());
}

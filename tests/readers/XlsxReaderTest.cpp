// XLSX workbooks of the project's writer read back by two real readers: the
// package itself with Python's zipfile and lxml, and LibreOffice Calc, which
// converts it to a flat OpenDocument spreadsheet (the types and texts it
// took) or to CSV. Every cell must agree with what the text export writes
// for it: the same value, typed, and for formatted numbers and dates the
// same shown text.

#include "tests/readers/ReaderUtils.h"
#include "tests/support/TestTables.h"

#include "data/base/DatabaseError.h"
#include "data/dataset/MemTable.h"
#include "data/locale/DateTimeFormat.h"
#include "export/KXExport2Text.h"
#include "export/KXExport2XLSX.h"
#include "export/view/WindowlessTableView.h"

#include <algorithm>
#include <cmath>
#include <map>

using namespace readers;

namespace {

std::string FromHex(const std::string& hex) {
    if (hex == "-") return std::string();
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return out;
}

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> out(1);
    for (char c : line) {
        if (c == '\t')
            out.emplace_back();
        else
            out.back() += c;
    }
    return out;
}

struct TReadCell {
    std::string Type, Value, Text; // Text: a text cell's text, or what is shown
};
// Sheets in order, each a name and its cells by reference.
using TSheets = std::vector<std::pair<std::string, std::map<std::string, TReadCell>>>;

// The lines of xlsx_cells.py (package true) or fods_cells.py.
TSheets ReadSheets(const std::string& output, bool package) {
    TSheets sheets;
    std::istringstream in(output);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("sheet ", 0) == 0) {
            sheets.emplace_back(line.substr(6), std::map<std::string, TReadCell>());
            continue;
        }
        const std::vector<std::string> f = SplitTabs(line);
        if (f.size() != 4 || sheets.empty()) {
            ADD_FAILURE() << "unexpected line: " << line;
            continue;
        }
        TReadCell c;
        c.Type = f[1];
        if (package) {
            const bool text = c.Type == "inlineStr" || c.Type == "s" || c.Type == "str";
            c.Value = text ? std::string() : f[2];
            c.Text = text ? FromHex(f[2]) : FromHex(f[3]); // a number's format code
        } else {
            c.Value = f[2];
            c.Text = FromHex(f[3]);
        }
        sheets.back().second[f[0]] = c;
    }
    return sheets;
}

std::string CellRef(int col, int row) {
    std::string name;
    for (int c = col + 1; c > 0; c = (c - 1) / 26)
        name.insert(name.begin(), static_cast<char>('A' + (c - 1) % 26));
    return name + std::to_string(row);
}

// A line break as a spreadsheet holds it.
std::string OneLineBreak(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r') {
            out += '\n';
            if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
        } else {
            out += s[i];
        }
    }
    return out;
}

// A number as the text export shows it, without currency and grouping.
double ShownNumber(std::string s) {
    std::string digits;
    for (char c : s)
        if ((c >= '0' && c <= '9') || c == '.' || c == '-' || c == 'E' || c == 'e') digits += c;
    return std::strtod(digits.c_str(), nullptr);
}

// An ISO date and time as Calc stores it ("2019-03-15T12:30:00", or a time
// as "PT12H30M00S") in the program's day numbers.
double CalcDay(const std::string& v) {
    if (v.rfind("PT", 0) == 0) {
        int h = 0, m = 0;
        double s = 0;
        std::sscanf(v.c_str(), "PT%dH%dM%lfS", &h, &m, &s);
        return (h * 3600 + m * 60 + s) / 86400.0;
    }
    int y = 0, mo = 0, d = 0, h = 0, mi = 0;
    double s = 0;
    std::sscanf(v.c_str(), "%d-%d-%dT%d:%d:%lf", &y, &mo, &d, &h, &mi, &s);
    return EncodeDate(y, mo, d) + (h * 3600 + mi * 60 + s) / 86400.0;
}

struct TXlsxReader : ::testing::Test {
    TTempDir Dir;
    TMemTable Table;
    TDataSource Source{&Table};
    TWindowlessTableView View;
};

} // namespace

TEST_F(TXlsxReader, EveryCellAgreesWithTheTextExport) {
    TFormatSettings fs = TFormatSettings::Classic();
    fs.ShortDateFormat = "dd/mm/yyyy";
    fs.DateSeparator = '.';
    fs.LongTimeFormat = "hh:nn:ss";
    fs.CurrencyString = "\xE2\x82\xAC";
    fs.CurrencyFormat = 3;
    fs.NegCurrFormat = 8;
    TScopedFormatSettings locale(fs);

    Table.FieldDefs().Add("ID", ftInteger);
    Table.FieldDefs().Add("Qty", ftLargeint);
    Table.FieldDefs().Add("Price", ftFloat);
    Table.FieldDefs().Add("Balance", ftCurrency);
    Table.FieldDefs().Add("Since", ftDate);
    Table.FieldDefs().Add("At", ftTime);
    Table.FieldDefs().Add("Stamp", ftDateTime);
    Table.FieldDefs().Add("Active", ftBoolean);
    Table.FieldDefs().Add("Name", ftString, 60);
    Table.FieldDefs().Add("Note", ftMemo);
    Table.Open();
    auto date = [](int y, int m, int d) { return TValue::OfDateTime(EncodeDate(y, m, d)); };
    auto time = [](int h, int m, int s) { return TValue::OfDateTime(EncodeTime(h, m, s, 0)); };
    auto stamp = [](int y, int mo, int d, int h, int mi, int s) {
        return TValue::OfDateTime(EncodeDate(y, mo, d) + EncodeTime(h, mi, s, 0));
    };
    Table.AppendRecord({TValue::OfInt(1), TValue::OfInt(123456789012345), TValue::OfFloat(1250.5),
                        TValue::OfFloat(1250.5), date(2019, 3, 15), time(12, 30, 0),
                        stamp(2024, 1, 2, 13, 45, 10), TValue::OfBool(true),
                        TValue::OfText("\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, "
                                       "\xD0\xBC\xD0\xB8\xD1\x80"),
                        TValue::OfText("line one\r\nline two")});
    Table.AppendRecord(
        {TValue::OfInt(2), TValue::OfInt(-42), TValue::OfFloat(-0.125), TValue::OfFloat(-40.25),
         date(1999, 12, 31), time(0, 0, 1), stamp(2024, 1, 2, 0, 0, 0), TValue::OfBool(false),
         TValue::OfText("\xE4\xB8\xAD\xE6\x96\x87 \xE3\x83\x86\xE3\x82\xAD\xE3\x82\xB9"
                        "\xE3\x83\x88 \xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4"),
         TValue::OfText("emoji \xF0\x9F\x98\x80 \xF0\x9F\x8E\x89")});
    Table.AppendRecord({TValue::OfInt(3), TValue::OfInt(0), TValue::OfFloat(3.25),
                        TValue::OfFloat(0), date(2024, 2, 29), time(23, 59, 59),
                        stamp(2000, 1, 1, 6, 0, 0), TValue::OfBool(true),
                        TValue::OfText("A & B <c> \"d\" 'e'"), TValue::OfText("_x0041_ stays")});
    Table.AppendRecord({TValue::OfInt(4)});
    Table.AppendRecord({TValue::OfInt(5), TValue::OfInt(9007199254740993), TValue::OfFloat(1e-5),
                        TValue::OfFloat(99999.99), date(1900, 3, 1), time(6, 5, 4),
                        stamp(1950, 6, 30, 18, 0, 0), TValue::OfBool(false),
                        TValue::OfText("  spaces  "), TValue::OfText("tab\there\rand there")});
    Table.First();
    View.Bind(&Source);
    const int fields = Table.FieldCount();
    const int records = 5;

    // The text export, and each cell's text as it writes it.
    std::vector<std::string> texts;
    View.OnGetCellParams = [&](TTableView&, TColumn&, TDBGridCellParams& p) {
        texts.push_back(p.Text);
    };
    TKXExport2Text text;
    text.SetGrid(&View);
    text.BuildMappings();
    text.SetIncludeMemo(true);
    text.ExportToFile((Dir / "t.txt").string());
    View.OnGetCellParams = nullptr;
    ASSERT_EQ(texts.size(), static_cast<size_t>(fields * records));
    const std::string document = ReadFile(Dir / "t.txt");
    for (const std::string& t : texts)
        EXPECT_NE(document.find(t), std::string::npos) << t;

    TKXExport2XLSX writer;
    writer.SetGrid(&View);
    writer.BuildMappings();
    writer.SetIncludeMemo(true);
    writer.SetSheetName("mixed");
    const std::filesystem::path book = Dir / "mixed.xlsx";
    writer.ExportToFile(book.string());

    TRunResult r = RunPython("xlsx_cells.py", {book.string()});
    ASSERT_EQ(r.ExitCode, 0) << r.Output;
    const TSheets package = ReadSheets(r.Output, true);
    const std::filesystem::path fods = ConvertWithLibreOffice(book, "fods", Dir.Path());
    ASSERT_FALSE(fods.empty());
    TRunResult c = RunPython("fods_cells.py", {fods.string()});
    ASSERT_EQ(c.ExitCode, 0) << c.Output;
    const TSheets calc = ReadSheets(c.Output, false);
    ASSERT_EQ(package.size(), 1u);
    ASSERT_EQ(calc.size(), 1u);
    EXPECT_EQ(package[0].first, "mixed");
    EXPECT_EQ(calc[0].first, "mixed");
    const auto& pk = package[0].second;
    const auto& lo = calc[0].second;

    for (int f = 0; f < fields; ++f) {
        const std::string title = CellRef(f, 1);
        EXPECT_EQ(pk.at(title).Text, Table.Fields(f).FieldName());
        EXPECT_EQ(lo.at(title).Text, Table.Fields(f).FieldName());
    }
    Table.First();
    for (int rec = 0; rec < records; ++rec, Table.Next()) {
        for (int f = 0; f < fields; ++f) {
            const TField& field = Table.Fields(f);
            const std::string ref = CellRef(f, rec + 2);
            const std::string shown = OneLineBreak(texts[static_cast<size_t>(rec * fields + f)]);
            SCOPED_TRACE(ref + " " + field.FieldName() + " \"" + shown + "\"");
            if (field.IsNull()) {
                EXPECT_EQ(pk.count(ref), 0u) << "null is an empty cell";
                EXPECT_EQ(lo.count(ref), 0u);
                continue;
            }
            ASSERT_EQ(pk.count(ref), 1u);
            ASSERT_EQ(lo.count(ref), 1u);
            const TReadCell& p = pk.at(ref);
            const TReadCell& l = lo.at(ref);
            switch (field.DataType()) {
            case ftInteger:
            case ftLargeint:
                if (field.AsLargeInt() > (int64_t{1} << 53)) {
                    // Past a double's exact integers the digits stay text.
                    EXPECT_EQ(p.Type, "inlineStr");
                    EXPECT_EQ(p.Text, shown);
                    EXPECT_EQ(l.Type, "string");
                    EXPECT_EQ(l.Text, shown);
                    break;
                }
                EXPECT_EQ(p.Type, "n");
                EXPECT_EQ(p.Value, shown);
                EXPECT_EQ(l.Type, "float");
                EXPECT_EQ(l.Text, shown);
                break;
            case ftFloat:
            case ftCurrency:
                EXPECT_EQ(p.Type, "n");
                EXPECT_NEAR(std::strtod(p.Value.c_str(), nullptr), ShownNumber(shown), 1e-12);
                EXPECT_EQ(l.Type, "float");
                EXPECT_NEAR(std::strtod(l.Value.c_str(), nullptr), field.AsFloat(), 1e-12);
                // A currency's format shows what the grid shows; General
                // shows as many digits as the column takes.
                if (field.DataType() == ftCurrency) {
                    EXPECT_EQ(l.Text, shown);
                }
                break;
            case ftDate:
            case ftTime:
            case ftDateTime:
                EXPECT_EQ(p.Type, "n");
                EXPECT_NEAR(std::strtod(p.Value.c_str(), nullptr), field.AsDateTime(), 1e-9);
                EXPECT_EQ(l.Type, field.DataType() == ftTime ? "time" : "date");
                EXPECT_NEAR(CalcDay(l.Value), field.AsDateTime(), 1e-6);
                EXPECT_EQ(l.Text, shown) << "the locale's format";
                break;
            case ftBoolean:
                EXPECT_EQ(p.Type, "b");
                EXPECT_EQ(p.Value, shown == "True" ? "1" : "0");
                EXPECT_EQ(l.Type, "boolean");
                EXPECT_EQ(l.Text, shown == "True" ? "TRUE" : "FALSE");
                break;
            default: {
                EXPECT_EQ(p.Type, "inlineStr");
                EXPECT_EQ(p.Text, shown);
                EXPECT_EQ(l.Type, "string");
                // Calc drops the tabs of a text of several lines as it
                // reads a workbook (the package holds them, above).
                std::string calcText = shown;
                if (shown.find('\n') != std::string::npos)
                    calcText.erase(std::remove(calcText.begin(), calcText.end(), '\t'),
                                   calcText.end());
                EXPECT_EQ(l.Text, calcText);
                break;
            }
            }
        }
    }
}

TEST_F(TXlsxReader, MoreRecordsThanASheetHoldsAllReadBack) {
    constexpr int records = 1100000;
    constexpr int perSheet = static_cast<int>(TKXExport2XLSX::RowLimit) - 1;
    Table.FieldDefs().Add("N", ftInteger);
    Table.Open();
    for (int i = 1; i <= records; ++i)
        Table.AppendRecord({TValue::OfInt(i)});
    Table.First();
    View.Bind(&Source);
    TKXExport2XLSX writer;
    writer.SetGrid(&View);
    writer.BuildMappings();
    writer.SetSheetName("big");
    const std::filesystem::path book = Dir / "big.xlsx";
    writer.ExportToFile(book.string());
    EXPECT_EQ(writer.WrittenCount(), records);

    // The package: two sheets, each with the title row, every record once
    // and in order.
    TRunResult r = RunPython("xlsx_cells.py", {book.string()});
    ASSERT_EQ(r.ExitCode, 0) << r.Output.substr(0, 2000);
    std::istringstream in(r.Output);
    std::string line;
    std::vector<std::string> names;
    std::vector<int> counts;
    int expected = 1;
    int row = 0;
    int bad = 0;
    while (std::getline(in, line)) {
        if (line.rfind("sheet ", 0) == 0) {
            names.push_back(line.substr(6));
            counts.push_back(0);
            row = 0;
            continue;
        }
        const std::vector<std::string> f = SplitTabs(line);
        ++row;
        if (row == 1) {
            EXPECT_EQ(f[0], "A1");
            EXPECT_EQ(FromHex(f[2]), "N") << "the title row on sheet " << names.size();
            continue;
        }
        if (f[0] != "A" + std::to_string(row) || f[1] != "n" || f[2] != std::to_string(expected))
            if (++bad < 5) ADD_FAILURE() << "expected record " << expected << ": " << line;
        ++expected;
        ++counts.back();
    }
    EXPECT_EQ(bad, 0);
    EXPECT_EQ(names, (std::vector<std::string>{"big", "big (2)"}));
    EXPECT_EQ(counts, (std::vector<int>{perSheet, records - perSheet}));

    // Calc: each sheet as CSV.
    TTempDir profile;
    TRunResult lo =
        readers::Run({"soffice", "-env:UserInstallation=file://" + profile.Path().string(),
                      "--headless", "--norestore", "--convert-to",
                      "csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,"
                      "false,-1",
                      "--outdir", Dir.Path().string(), book.string()},
                     280);
    ASSERT_EQ(lo.ExitCode, 0) << lo.Output;
    expected = 1;
    for (const char* sheet : {"big-big.csv", "big-big (2).csv"}) {
        SCOPED_TRACE(sheet);
        std::istringstream csv(ReadFile(Dir / sheet));
        ASSERT_TRUE(std::getline(csv, line));
        EXPECT_EQ(line, "N");
        int lines = 0;
        bad = 0;
        while (std::getline(csv, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line != std::to_string(expected) && ++bad < 5)
                ADD_FAILURE() << "expected " << expected << ": " << line;
            ++expected;
            ++lines;
        }
        EXPECT_EQ(bad, 0);
        EXPECT_EQ(lines, std::string(sheet) == "big-big.csv" ? perSheet : records - perSheet);
    }
    EXPECT_EQ(expected, records + 1);
}

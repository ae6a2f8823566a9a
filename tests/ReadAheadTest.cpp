#include "data/dataset/ReadAhead.h"
#include "data/dataset/NumericField.h"
#include "export/KXExport2Text.h"
#include "export/view/WindowlessTableView.h"
#include "tests/support/DbfTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace dbftest;

namespace {

// Enough records for the worker to go round its ring of chunks more than once.
constexpr int Records = 3 * TReadAhead::ChunkRecords * 2 + 77;

class TSortableDbf : public TDbfTestDataSet {
public:
    using TDataSet::SetSortKeys;
    using TDbfTestDataSet::TDbfTestDataSet;
};

struct TReadAheadFixture : ::testing::Test {
    TTempFolder Dir;
    std::string Path = Dir / "t.dbf";

    void SetUp() override {
        SetFormatSettings(TFormatSettings::Classic());
        std::vector<TDbfFieldSpec> fields = {{"NAME", 'C', 20},     {"QTY", 'N', 10},
                                             {"PRICE", 'N', 12, 2}, {"DAY", 'D'},
                                             {"OK", 'L'},           {"NOTE", 'M'}};
        TDbfWriter w(Path, dvDBase3, fields, 1252);
        for (int i = 0; i < Records; ++i) {
            // Every few records something the codecs treat apart: non-ASCII
            // text, nulls, a deleted record.
            std::string name = i % 7 == 0 ? "Zoë " + std::to_string(i) : "n" + std::to_string(i);
            w.AddRecord({i % 11 == 0 ? Null() : Text(name), Int(i * 3 - 500),
                         i % 13 == 0 ? Null() : Num(i * 1.25 - 7),
                         i % 17 == 0 ? Null() : Date(1990 + i % 40, 1 + i % 12, 1 + i % 28),
                         i % 5 == 0 ? Null() : Bool(i % 2 == 0), Text("memo " + std::to_string(i))},
                        i % 97 == 3);
        }
        w.Finish();
    }

    static std::vector<const TField*> AllFields(TDataSet& ds) {
        std::vector<const TField*> f;
        for (int i = 0; i < ds.FieldCount(); ++i)
            f.push_back(&ds.Fields(i));
        return f;
    }

    // Walks forward from the current record and checks every text the
    // reader gives against GetDisplayText; returns how many it gave.
    static int Walk(TDataSet& ds, TReadAhead& ahead, int steps = -1) {
        int taken = 0;
        std::string got, want;
        for (int n = 0; !ds.Eof() && n != steps; ++n) {
            for (int i = 0; i < ds.FieldCount(); ++i) {
                const TField& f = ds.Fields(i);
                f.GetDisplayText(want);
                if (ahead.Take(static_cast<size_t>(i), f, got)) {
                    ++taken;
                    EXPECT_EQ(got, want) << f.FieldName() << " at record " << ds.RecNo();
                    // The value a view asks of a boolean cell comes along.
                    TValue known, value;
                    f.GetData(value);
                    const bool isBoolean = ahead.TakenBoolean(static_cast<size_t>(i), known);
                    EXPECT_EQ(isBoolean, value.IsNull() || value.Kind == TValueKind::Boolean);
                    if (isBoolean) {
                        EXPECT_EQ(known.Kind, value.Kind);
                        EXPECT_EQ(known.Bool, value.Bool) << f.FieldName() << " at " << ds.RecNo();
                    }
                }
            }
            ds.Next();
        }
        return taken;
    }
};

} // namespace

TEST_F(TReadAheadFixture, GivesTheDisplayTextsOfEveryRecordInOrder) {
    TDbfTestDataSet ds(Path);
    ds.Open();
    ds.First();
    TReadAhead ahead(ds, AllFields(ds));
    ASSERT_TRUE(ahead.Active());
    // Five of six fields are read ahead (the memo is not), in the chunks
    // the worker got to first; the walk reads the others itself.
    const int taken = Walk(ds, ahead);
    EXPECT_GT(taken, 0);
    EXPECT_LE(taken, 5 * ds.RecordCount());
    EXPECT_EQ(taken % 5, 0);
}

// However many threads fill chunks beside it, a walk that only moves on
// takes every record read ahead: it fills the chunks nobody has begun
// itself, and every text stays right.
TEST_F(TReadAheadFixture, AWalkTakesEveryRecordWhateverTheWorkers) {
    for (unsigned workers : {0u, 1u, 2u, 3u}) {
        TDbfTestDataSet ds(Path);
        ds.Open();
        ds.First();
        TReadAhead ahead(ds, AllFields(ds), {}, workers);
        ASSERT_TRUE(ahead.Active());
        // Five of six fields (the memo is not read ahead).
        EXPECT_EQ(Walk(ds, ahead), 5 * ds.RecordCount()) << workers << " workers";
        EXPECT_TRUE(ahead.Active());
    }
}

// A walk much faster than the workers (it only takes the joined texts)
// waits for the chunks they are filling and fills those they have not
// begun: each record still comes whole and right, once, in order.
TEST_F(TReadAheadFixture, AFastWalkGetsEveryRecordJoinedInOrder) {
    std::vector<std::string> expected;
    {
        TDbfTestDataSet ds(Path);
        ds.Open();
        std::string text;
        for (ds.First(); !ds.Eof(); ds.Next()) {
            std::string line;
            for (int i = 0; i < 5; ++i) {
                ds.Fields(i).GetDisplayText(text);
                line += (i ? "|" : "") + text;
            }
            expected.push_back(line);
        }
    }
    for (unsigned workers : {1u, 2u, 3u}) {
        TDbfTestDataSet ds(Path);
        ds.Open();
        ds.First();
        std::vector<const TField*> fields = AllFields(ds);
        fields.pop_back(); // the memo
        TReadAhead ahead(ds, fields, "|", workers);
        size_t at = 0, joined = 0;
        for (; !ds.Eof(); ds.Next(), ++at) {
            std::string_view line;
            ASSERT_TRUE(ahead.Row()) << "at record " << ds.RecNo();
            ASSERT_TRUE(ahead.Joined("|", line));
            ASSERT_LT(at, expected.size());
            if (line == expected[at]) ++joined;
        }
        EXPECT_EQ(at, expected.size());
        EXPECT_EQ(joined, expected.size()) << workers << " workers";
    }
}

TEST_F(TReadAheadFixture, FollowsSortedAndFilteredOrders) {
    TSortableDbf ds(Path);
    ds.Open();
    ds.SetSortKeys({{2, true, false}, {0, false, false}});
    ds.OnFilterRecord = [](TDataSet& d, bool& accept) {
        accept = d.Fields(1).AsInteger() % 3 != 0;
    };
    ds.SetFiltered(true);
    ds.First();
    TReadAhead ahead(ds, AllFields(ds));
    EXPECT_GT(Walk(ds, ahead), 0);
}

TEST_F(TReadAheadFixture, StartsAtTheCurrentRecordAndFollowsJumps) {
    TDbfTestDataSet ds(Path);
    ds.Open();
    ds.SetRecNo(5000);
    TReadAhead ahead(ds, AllFields(ds));
    EXPECT_GT(Walk(ds, ahead, 10), 0);
    // Far ahead, then back: the reader starts again where the walk is.
    ds.SetRecNo(ds.RecordCount() - 3);
    Walk(ds, ahead, 3);
    ds.SetRecNo(2);
    // Back: a new start, whose first chunk the walk waits for.
    EXPECT_GE(Walk(ds, ahead, 3000), 5 * static_cast<int>(TReadAhead::ChunkRecords) - 5);
    EXPECT_TRUE(ahead.Active());
}

TEST_F(TReadAheadFixture, GivesUpOnAWalkThatKeepsJumping) {
    TDbfTestDataSet ds(Path);
    ds.Open();
    ds.First();
    TReadAhead ahead(ds, AllFields(ds));
    std::string got, want;
    int taken = 0;
    for (int jump = 0; jump < 20; ++jump) {
        ds.SetRecNo(jump % 2 == 0 ? 9000 - jump : 10 + jump);
        if (ahead.Take(0, ds.Fields(0), got)) {
            ++taken;
            ds.Fields(0).GetDisplayText(want);
            EXPECT_EQ(got, want);
        }
    }
    EXPECT_GT(taken, 0);
    EXPECT_LT(taken, 20);
    EXPECT_FALSE(ahead.Active());
}

TEST_F(TReadAheadFixture, StopsBeforeAnEditAndTheWalkReadsTheNewValues) {
    TDbfTestDataSet ds(Path);
    ds.Open();
    ds.First();
    TReadAhead ahead(ds, AllFields(ds));
    EXPECT_GT(Walk(ds, ahead, 100), 0);
    // The edit rewrites the table and maps it anew; the reader must not be
    // reading the old mapping meanwhile.
    ds.SetRecNo(150);
    ds.Edit();
    ds.Fields(0).SetAsString("changed");
    ds.Post();
    EXPECT_FALSE(ahead.Active());
    std::string got;
    EXPECT_FALSE(ahead.Take(0, ds.Fields(0), got));
    EXPECT_EQ(ds.Fields(0).DisplayText(), "changed");
}

TEST_F(TReadAheadFixture, StopsWhenADisplaySettingChangesOrAHandlerIsSet) {
    TDbfTestDataSet ds(Path);
    ds.Open();
    ds.First();
    {
        TReadAhead ahead(ds, AllFields(ds));
        Walk(ds, ahead, 10);
        ds.Fields(2).SetDisplayFormat("0.000");
        EXPECT_FALSE(ahead.Active());
        EXPECT_EQ(Walk(ds, ahead, 10), 0);
    }
    {
        TReadAhead ahead(ds, AllFields(ds));
        ASSERT_TRUE(ahead.Active());
        std::string got;
        EXPECT_TRUE(ahead.Take(2, ds.Fields(2), got));
        EXPECT_EQ(got, ds.Fields(2).DisplayText()); // the new format
        ds.Fields(2).OnGetText = [](TField&, std::string& text, bool) { text = "mine"; };
        EXPECT_FALSE(ahead.Take(2, ds.Fields(2), got));
        EXPECT_TRUE(ahead.Take(0, ds.Fields(0), got));
    }
    {
        TReadAhead ahead(ds, AllFields(ds));
        ASSERT_TRUE(ahead.Active());
        TFormatSettings fs = TFormatSettings::Classic();
        fs.DecimalSeparator = ',';
        SetFormatSettings(fs);
        EXPECT_FALSE(ahead.Active());
        SetFormatSettings(TFormatSettings::Classic());
    }
}

TEST_F(TReadAheadFixture, ClosingTheDatasetStopsTheReader) {
    TDbfTestDataSet ds(Path);
    ds.Open();
    ds.First();
    TReadAhead ahead(ds, AllFields(ds));
    ASSERT_TRUE(ahead.Active());
    ds.Close();
    EXPECT_FALSE(ahead.Active());
}

// Numbers are shown from their digits where that gives the same text;
// every other way a file may write them goes through the value.
TEST_F(TReadAheadFixture, NumbersFromTheirDigitsMatchTheValues) {
    const std::string path = Dir / "digits.dbf";
    const std::vector<std::string> odd = {
        "12.50", "-0.00", "00012.5", "+5.25",    "1,5",      "****",     "",
        "-.5",   "7.",    "0.0001",  "0.00001",  "1e3",      "-12.05",   "99999.99",
        "0.10",  "-0",    "000",     "12345678", "1234.567", "-1234.56", " 3 4"};
    std::vector<std::vector<TValue>> rows;
    for (size_t i = 0; i < odd.size(); ++i)
        rows.push_back({Num(1), Int(1)});
    const std::vector<std::string> days = {"20230230", "00000000", "        ", "2023-1-1",
                                           "19991231", "20240229", "20230229", "00011301"};
    for (auto& row : rows)
        row.push_back(Date(2000, 1, 1));
    TDbfWriter::Write(path, dvDBase3, {{"PRICE", 'N', 9, 2}, {"QTY", 'N', 9}, {"DAY", 'D'}}, rows);
    // The same texts written into both fields, right-aligned, as other
    // programs may have written them.
    std::string bytes = ReadBytes(path);
    const size_t header = static_cast<uint8_t>(bytes[8]) | static_cast<uint8_t>(bytes[9]) << 8;
    const size_t length = static_cast<uint8_t>(bytes[10]) | static_cast<uint8_t>(bytes[11]) << 8;
    for (size_t i = 0; i < odd.size(); ++i)
        for (size_t field = 0; field < 2; ++field) {
            std::string cell(9, ' ');
            const std::string t = odd[i].substr(0, 9);
            cell.replace(9 - t.size(), t.size(), t);
            bytes.replace(header + i * length + 1 + field * 9, 9, cell);
            bytes.replace(header + i * length + 19, 8, days[i % days.size()]);
        }
    WriteBytes(path, bytes);
    TDbfTestDataSet ds(path);
    ds.Open();
    ds.First();
    TReadAhead ahead(ds, AllFields(ds));
    EXPECT_EQ(Walk(ds, ahead), static_cast<int>(3 * odd.size()));
    ds.Fields(0).SetDisplayFormat("0.000");
    ds.Fields(2).SetDisplayFormat("dd mmm yyyy");
    ds.First();
    TReadAhead formatted(ds, AllFields(ds));
    EXPECT_EQ(Walk(ds, formatted), static_cast<int>(3 * odd.size()));
}

TEST_F(TReadAheadFixture, TextInAConverterCodePageIsLeftToTheWalk) {
    const std::string path = Dir / "gbk.dbf";
    TDbfWriter::Write(path, dvDBase3, {{"NAME", 'C', 10}, {"QTY", 'N', 5}},
                      {{Text("中文"), Int(1)}, {Text("ab"), Int(2)}}, 936);
    TDbfTestDataSet ds(path);
    ds.Open();
    EXPECT_FALSE(ds.ReadsConcurrently(0));
    EXPECT_TRUE(ds.ReadsConcurrently(1));
    ds.First();
    TReadAhead ahead(ds, AllFields(ds));
    EXPECT_EQ(Walk(ds, ahead), 2);
}

// Through the export: a handler that changes a format halfway gives the
// same document as the walk without anyone reading ahead.
TEST_F(TReadAheadFixture, AnExportThatChangesAFormatMidwayWritesTheNewFormat) {
    TDbfTestDataSet ds(Path);
    ds.Open();
    TDataSource source{&ds};
    TWindowlessTableView view;
    view.Bind(&source);
    TKXExport2Text writer;
    writer.SetGrid(&view);
    writer.SetIncludeMemo(true);
    writer.SetMappings(TMappings()); // every column of the grid
    auto run = [&](bool change) {
        ds.Fields(2).SetDisplayFormat("");
        writer.AfterWriteRow = [&](TKXExport& w) {
            if (change && w.WrittenCount() == 5000) ds.Fields(2).SetDisplayFormat("0.0000");
        };
        TMemoryStream s;
        writer.ExportToStream(s);
        return s.Data();
    };
    const std::string changed = run(true);
    // The same walk by hand.
    std::string want;
    ds.Fields(2).SetDisplayFormat("");
    ds.First();
    for (int i = 0; i < ds.FieldCount(); ++i)
        want += (i ? "\t" : "") + ds.Fields(i).DisplayLabel();
    for (int n = 0; !ds.Eof(); ++n) {
        if (n == 5000) ds.Fields(2).SetDisplayFormat("0.0000");
        want += "\r\n";
        for (int i = 0; i < ds.FieldCount(); ++i)
            want +=
                (i ? "\t" : "") + (i == 5 ? ds.Fields(i).AsString() : ds.Fields(i).DisplayText());
        ds.Next();
    }
    want += "\r\n";
    EXPECT_TRUE(changed == want) << changed.substr(0, 300);
    const std::string plain = run(false);
    EXPECT_TRUE(plain != changed) << plain.substr(0, 300);
}

namespace {
// Another type than the plain writer: it takes the classic cell-by-cell
// path, which the plain writer's record at once must match byte for byte.
class TCellByCellText : public TKXExport2Text {};

// A view of another class that prepares its cells in its own way.
class TBracketingView : public TWindowlessTableView {
public:
    void GetCellParams(TColumn& column, TDBGridCellParams& params,
                       const TValue* value = nullptr) override {
        TWindowlessTableView::GetCellParams(column, params, value);
        params.Text = "[" + params.Text + "]";
    }
};

// Counts the cells its own WriteCell is asked for.
class TCountingText : public TKXExport2Text {
public:
    int Cells = 0;

protected:
    void WriteCell(TColumn& column) override {
        ++Cells;
        TKXExport2Text::WriteCell(column);
    }
};

struct TTextExport {
    TDataSource Source;
    TWindowlessTableView View;
    explicit TTextExport(TDataSet& ds) : Source(&ds) { View.Bind(&Source); }
    // Every column, or those not named NOTE: then every cell is read ahead
    // and a record comes joined.
    bool WithoutMemo = false;
    // `setUp` configures the writer; `during` runs after each record.
    std::string Run(TKXExport2Text& writer, const std::function<void(TKXExport2Text&)>& setUp,
                    const std::function<void(TKXExport&)>& during = {}) {
        writer.SetGrid(&View);
        TMappings mappings;
        if (WithoutMemo)
            for (const char* name : {"NAME", "QTY", "PRICE", "DAY", "OK"})
                mappings.Add(name, name);
        writer.SetMappings(mappings);
        setUp(writer);
        writer.AfterWriteRow = during;
        TMemoryStream s;
        writer.ExportToStream(s);
        View.OnGetCellParams = nullptr;
        return s.Data();
    }
};
} // namespace

TEST_F(TReadAheadFixture, ThePlainTextWriterWritesWhatTheCellByCellPathWrites) {
    TDbfTestDataSet ds(Path);
    ds.Open();
    TTextExport e(ds);
    const std::vector<std::function<void(TKXExport2Text&)>> setUps = {
        [](TKXExport2Text&) {},
        [](TKXExport2Text& w) {
            w.SetDestCols(3);
            w.SetSeparator(';');
        },
        [](TKXExport2Text& w) {
            w.SetIncludeMemo(true);
            w.SetNeedTitle(false);
        },
        [&](TKXExport2Text& w) {
            ds.SetRecNo(500);
            w.SetRecordRange(rrToLast);
            w.SetMaxRows(7000);
        },
        [](TKXExport2Text& w) { w.SetRecordRange(rrToFirst); },
    };
    for (bool withoutMemo : {false, true})
        for (size_t i = 0; i < setUps.size(); ++i) {
            e.WithoutMemo = withoutMemo;
            TKXExport2Text plain;
            TCellByCellText reference;
            const std::string want = e.Run(reference, setUps[i]);
            const std::string got = e.Run(plain, setUps[i]);
            EXPECT_EQ(got.size(), want.size()) << "set-up " << i;
            EXPECT_TRUE(got == want) << "set-up " << i << ": " << got.substr(0, 200);
            EXPECT_EQ(plain.WrittenCount(), reference.WrittenCount());
        }
}

// Whatever a handler changes halfway is followed from the next cell on,
// as the cell-by-cell path follows it.
TEST_F(TReadAheadFixture, ThePlainTextWriterFollowsWhatAHandlerChangesMidway) {
    TDbfTestDataSet ds(Path);
    ds.Open();
    TTextExport e(ds);
    const std::vector<std::function<void(TKXExport&)>> changes = {
        [&](TKXExport&) {
            ds.Fields(1).OnGetText = [](TField&, std::string& text, bool) { text = "qty"; };
        },
        [&](TKXExport&) {
            e.View.OnGetCellParams = [](TTableView&, TColumn&, TDBGridCellParams& p) {
                p.Text = "<" + p.Text + ">";
            };
        },
        [&](TKXExport& w) { w.SetIncludeMemo(true); },
    };
    for (bool withoutMemo : {false, true})
        for (size_t i = 0; i < changes.size(); ++i) {
            if (withoutMemo && i == 2) continue; // no memo to include
            e.WithoutMemo = withoutMemo;
            auto during = [&](TKXExport& w) {
                if (w.WrittenCount() == 3000) changes[i](w);
            };
            TKXExport2Text plain;
            TCellByCellText reference;
            const std::string want = e.Run(
                reference, [](TKXExport2Text&) {}, during);
            ds.Fields(1).OnGetText = nullptr;
            const std::string got = e.Run(
                plain, [](TKXExport2Text&) {}, during);
            ds.Fields(1).OnGetText = nullptr;
            EXPECT_TRUE(got == want) << "change " << i << ": " << got.substr(0, 200);
            EXPECT_NE(got.find(i == 0   ? "\tqty\t"
                               : i == 1 ? "<"
                                        : "\tmemo 9999\r\n"),
                      std::string::npos);
        }
}

TEST_F(TReadAheadFixture, AWriterWithItsOwnWriteCellIsAskedForEveryCell) {
    TDbfTestDataSet ds(Path);
    ds.Open();
    TTextExport e(ds);
    TCountingText counting;
    TCellByCellText reference;
    const std::string want = e.Run(reference, [](TKXExport2Text&) {});
    EXPECT_TRUE(e.Run(counting, [](TKXExport2Text&) {}) == want);
    EXPECT_EQ(counting.Cells, ds.RecordCount() * ds.FieldCount());
}

// Fields the storage cannot show in their place, in every record or in
// some, are shown by the fields; the texts stay those of GetDisplayText.
TEST_F(TReadAheadFixture, CellsOnlyTheirFieldsCanShowAreLeftToThem) {
    TDbfTestDataSet ds(Path);
    ds.Open();
    static_cast<TFloatField&>(ds.Fields(2)).SetCurrency(true);
    ds.First();
    TReadAhead currency(ds, AllFields(ds));
    EXPECT_EQ(Walk(ds, currency) % 5, 0);
    // Kinds of field the dBase codec does not show itself.
    const std::string path = Dir / "fox.dbf";
    {
        TDbfWriter w(path, dvVisualFoxPro,
                     {{"ID", 'I'}, {"AT", 'T'}, {"PAY", 'Y'}, {"NAME", 'C', 8}, {"OK", 'L'}}, 1252);
        for (int i = 0; i < 3000; ++i)
            w.AddRecord({Int(i - 1000), Stamp(2000 + i % 30, 1 + i % 12, 1 + i % 28, i % 24, 5, 6),
                         Num(i * 0.25), Text("n" + std::to_string(i)), Bool(i % 2 == 0)});
        w.Finish();
    }
    TDbfTestDataSet fox(path);
    fox.Open();
    fox.First();
    TReadAhead ahead(fox, AllFields(fox));
    EXPECT_GT(Walk(fox, ahead), 0);
}

TEST_F(TReadAheadFixture, ThePlainTextWriterWritesTheCellsAViewOfItsOwnPrepares) {
    TDbfTestDataSet ds(Path);
    ds.Open();
    TDataSource source(&ds);
    TBracketingView view;
    view.Bind(&source);
    TKXExport2Text writer;
    writer.SetGrid(&view);
    writer.BuildMappings();
    writer.SetNeedTitle(false);
    TMemoryStream s;
    writer.ExportToStream(s);
    ds.First();
    const std::string first = s.Data().substr(0, s.Data().find("\r\n"));
    EXPECT_EQ(first.substr(0, ds.Fields(0).DisplayText().size() + 2),
              "[" + ds.Fields(0).DisplayText() + "]");
    EXPECT_EQ(first.back(), ']');
}

#include "data/base/DatabaseError.h"
#include "data/base/Unicode.h"
#include "export/KXExport.h"
#include "export/KXExport2HTML.h"
#include "export/KXExport2RTF.h"
#include "export/KXExport2Text.h"
#include "export/KXExport2XLS.h"
#include "export/KXExport2XML.h"
#include "export/view/WindowlessTableView.h"
#include "tests/support/DbfTestSupport.h"
#include "tests/support/TestTables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <typeinfo>
#include <unistd.h>

namespace {

// Writes a trace of the engine's calls into the stream: H header, T title,
// [cells] per record with each cell's text followed by '|', F footer.
class TTraceExport : public TKXExport {
public:
    std::vector<int> Places; // WrittenCount mod DestCols before each record
    bool FillLastLine = false;

    using TKXExport::CellParams;

protected:
    void WriteHeader() override { Write("H;"); }
    void WriteTitle() override { Write("T;"); }
    void WriteFooter() override {
        // The filler calls a writer makes to complete its last line.
        if (FillLastLine && WrittenCount() % DestCols() != 0) {
            for (int k = DestCols() - WrittenCount() % DestCols(); k > 0; --k) {
                Write("[");
                TKXExport::WriteRecord();
                Write("]");
            }
        }
        Write("F;");
    }
    void WriteRecord() override {
        Places.push_back(WrittenCount() % DestCols());
        Write("[");
        TKXExport::WriteRecord();
        Write("]");
    }
    void WriteCell(TColumn& column) override {
        (void)column;
        Write(CellParams().Text);
        Write("|");
    }
};

TMappings OneMapping(const std::string& entry) {
    TMappings m;
    m.Add(entry);
    return m;
}

struct TEngineFixture : ::testing::Test {
    TMemTable Table;
    TDataSource Source{&Table};
    TWindowlessTableView View;
    TTraceExport Writer;
    int AfterRows = 0;

    // A numbered table (ID, Name) of `count` records; only ID is exported.
    void Build(int count) {
        MakeNumberedTable(Table, count);
        View.Bind(&Source);
        Writer.SetGrid(&View);
        Writer.SetMappings(OneMapping("ID=Id"));
        Writer.AfterWriteRow = [this](TKXExport&) { ++AfterRows; };
    }
    std::string Run() {
        TMemoryStream s;
        Writer.ExportToStream(s);
        return s.Data();
    }
    void Select(std::initializer_list<int> recNos) {
        for (int r : recNos) {
            Table.SetRecNo(r);
            View.SelectedRows().SetCurrentRowSelected(true);
        }
    }
};

} // namespace

// --- The walk over each range -----------------------------------------------

TEST_F(TEngineFixture, AllRangeWalksFirstToLastAndRestoresThePosition) {
    Build(3);
    Table.SetRecNo(2);
    EXPECT_EQ(Run(), "H;T;[1|][2|][3|]F;");
    EXPECT_EQ(Writer.WrittenCount(), 3);
    EXPECT_EQ(AfterRows, 3);
    EXPECT_EQ(Table.RecNo(), 2);
    EXPECT_FALSE(Table.ControlsDisabled());
    EXPECT_FALSE(Writer.Exporting());
}

TEST_F(TEngineFixture, ToFirstRangeWalksBackwards) {
    Build(3);
    Writer.SetRecordRange(rrToFirst);
    EXPECT_EQ(Run(), "H;T;[3|][2|][1|]F;");
    EXPECT_EQ(Writer.WrittenCount(), 3);
    EXPECT_EQ(Table.RecNo(), 1);
}

TEST_F(TEngineFixture, ToLastRangeStartsAtTheCurrentRecord) {
    Build(4);
    Table.SetRecNo(3);
    Writer.SetRecordRange(rrToLast);
    EXPECT_EQ(Run(), "H;T;[3|][4|]F;");
    EXPECT_EQ(Table.RecNo(), 3);

    Writer.SetMaxRows(1);
    EXPECT_EQ(Run(), "H;T;[3|]F;");
    EXPECT_EQ(Writer.WrittenCount(), 1);
}

TEST_F(TEngineFixture, SelectedRangeSkipsDeletedBookmarks) {
    Build(5);
    Select({2, 4, 5});
    Table.SetRecNo(4);
    Table.Delete();
    Table.SetRecNo(1);
    Writer.SetRecordRange(rrSelected);
    EXPECT_EQ(Run(), "H;T;[2|][5|]F;");
    EXPECT_EQ(Writer.WrittenCount(), 2);
    EXPECT_EQ(AfterRows, 2);
    EXPECT_EQ(Table.FieldByName("ID").AsInteger(), 1);
}

TEST_F(TEngineFixture, SelectedRangeStopsAtMaxRows) {
    Build(5);
    Select({1, 3, 5});
    Writer.SetRecordRange(rrSelected);
    Writer.SetMaxRows(2);
    EXPECT_EQ(Run(), "H;T;[1|][3|]F;");
}

TEST_F(TEngineFixture, SelectedRangeWithoutSelectionExportsTheCurrentRecordAlone) {
    Build(4);
    Table.SetRecNo(3);
    Writer.SetRecordRange(rrSelected);
    EXPECT_EQ(Run(), "H;T;[3|]F;");
    EXPECT_EQ(Writer.WrittenCount(), 1);
    EXPECT_EQ(AfterRows, 0);
    EXPECT_EQ(Table.RecNo(), 3);
}

TEST_F(TEngineFixture, SelectedRangeOfAnEmptyTableHasNoRecord) {
    Build(0);
    Writer.SetRecordRange(rrSelected);
    EXPECT_EQ(Run(), "H;T;F;");
    EXPECT_EQ(Writer.WrittenCount(), 0);
}

TEST_F(TEngineFixture, EmptyTableGivesHeaderTitleAndFooterInEveryRange) {
    Build(0);
    for (TRecordRange r : {rrAll, rrToFirst, rrToLast}) {
        Writer.SetRecordRange(r);
        EXPECT_EQ(Run(), "H;T;F;") << "range " << r;
        EXPECT_EQ(Writer.WrittenCount(), 0);
    }
}

TEST_F(TEngineFixture, MaxRowsLimitsEveryRange) {
    Build(5);
    Select({2, 4});
    Table.SetRecNo(3);
    Writer.SetMaxRows(0);
    for (TRecordRange r : {rrAll, rrToFirst, rrToLast, rrSelected}) {
        Writer.SetRecordRange(r);
        EXPECT_EQ(Run(), "H;T;F;") << "range " << r;
        EXPECT_EQ(Writer.WrittenCount(), 0);
    }
    View.SelectedRows().Clear();
    Writer.SetRecordRange(rrSelected);
    EXPECT_EQ(Run(), "H;T;F;"); // the current-record case obeys 0 too

    Writer.SetRecordRange(rrAll);
    Writer.SetMaxRows(1);
    EXPECT_EQ(Run(), "H;T;[1|]F;");
    Writer.SetMaxRows(3);
    EXPECT_EQ(Run(), "H;T;[1|][2|][3|]F;");
    EXPECT_EQ(Writer.WrittenCount(), 3);
    Writer.SetMaxRows(9);
    EXPECT_EQ(Writer.WrittenCount(), 3);
    EXPECT_EQ(Run(), "H;T;[1|][2|][3|][4|][5|]F;");
    Writer.SetMaxRows(-7);
    EXPECT_EQ(Run(), "H;T;[1|][2|][3|][4|][5|]F;");
    Writer.SetRecordRange(rrToFirst);
    Writer.SetMaxRows(2);
    EXPECT_EQ(Run(), "H;T;[5|][4|]F;");
}

TEST_F(TEngineFixture, StopFromAfterWriteRowEndsTheWalkNormally) {
    Build(5);
    Writer.AfterWriteRow = [](TKXExport& sender) {
        if (sender.WrittenCount() == 2) sender.Stop();
    };
    EXPECT_EQ(Run(), "H;T;[1|][2|]F;");
    EXPECT_EQ(Writer.WrittenCount(), 2);
}

TEST_F(TEngineFixture, ErrorInTheWalkRestoresPositionAndControlsAndSkipsTheFooter) {
    Build(5);
    Table.SetRecNo(3);
    Writer.AfterWriteRow = [](TKXExport& sender) {
        EXPECT_TRUE(sender.Exporting());
        if (sender.WrittenCount() == 2) throw std::runtime_error("cancelled");
    };
    TMemoryStream s;
    EXPECT_THROW(Writer.ExportToStream(s), std::runtime_error);
    EXPECT_EQ(s.Data(), "H;T;[1|][2|]");
    EXPECT_EQ(Table.RecNo(), 3);
    EXPECT_FALSE(Table.ControlsDisabled());
    EXPECT_FALSE(Writer.Exporting());
    EXPECT_EQ(Writer.WrittenCount(), 2);
}

TEST_F(TEngineFixture, ErrorKeepsTheCallersOwnDisableControls) {
    Build(3);
    Table.DisableControls();
    Writer.AfterWriteRow = [](TKXExport&) { throw std::runtime_error("x"); };
    EXPECT_THROW(Run(), std::runtime_error);
    EXPECT_TRUE(Table.ControlsDisabled());
    Table.EnableControls();
    EXPECT_FALSE(Table.ControlsDisabled());
}

// --- Records per line -------------------------------------------------------

TEST_F(TEngineFixture, PlacesOnTheLineCycleThroughDestCols) {
    Build(7);
    Writer.SetDestCols(3);
    Run();
    EXPECT_EQ(Writer.Places, (std::vector<int>{0, 1, 2, 0, 1, 2, 0}));
    EXPECT_EQ(Writer.WrittenCount(), 7);
}

TEST_F(TEngineFixture, FillerRecordsAfterTheWalkAreEmptyAndUncounted) {
    Build(7);
    Writer.SetMappings(OneMapping("Name=N"));
    Writer.SetDestCols(3);
    Writer.FillLastLine = true;
    EXPECT_EQ(Run(), "H;T;[N1|][N2|][N3|][N4|][N5|][N6|][N7|][|][|]F;");
    EXPECT_EQ(Writer.WrittenCount(), 7);
}

TEST(ExportEngine, DestColsBelowOneReadsBackAsOne) {
    TTraceExport w;
    EXPECT_EQ(w.DestCols(), 1);
    w.SetDestCols(4);
    EXPECT_EQ(w.DestCols(), 4);
    w.SetDestCols(0);
    EXPECT_EQ(w.DestCols(), 1);
    w.SetDestCols(-3);
    EXPECT_EQ(w.DestCols(), 1);
}

// --- Titles and mappings ----------------------------------------------------

TEST_F(TEngineFixture, TitleNeedsBothNeedTitleAndTheViewsTitles) {
    Build(1);
    View.SetOptions(DefaultGridOptions & ~dgTitles);
    EXPECT_TRUE(Writer.NeedTitle());
    EXPECT_EQ(Run(), "H;[1|]F;");
    View.SetOptions(DefaultGridOptions);
    Writer.SetNeedTitle(false);
    EXPECT_EQ(Run(), "H;[1|]F;");
}

TEST_F(TEngineFixture, BuildMappingsTakesVisibleColumnsWithTheirCaptions) {
    Build(1);
    View.Column(0).SetTitleCaption("Number");
    Writer.Mappings().Clear();
    Writer.BuildMappings();
    ASSERT_EQ(Writer.Mappings().Count(), 2);
    EXPECT_EQ(Writer.Mappings().Names(0), "ID");
    EXPECT_EQ(Writer.Mappings().ValueFromIndex(0), "Number");
    EXPECT_EQ(Writer.Mappings().Names(1), "Name");
    EXPECT_EQ(Writer.Mappings().ValueFromIndex(1), "Name");

    View.Column(0).SetVisible(false);
    Writer.Mappings().Clear();
    Writer.BuildMappings();
    ASSERT_EQ(Writer.Mappings().Count(), 1);
    EXPECT_EQ(Writer.Mappings().Names(0), "Name");

    Table.Close();
    Writer.Mappings().Clear();
    Writer.BuildMappings();
    EXPECT_TRUE(Writer.Mappings().Empty());
}

TEST_F(TEngineFixture, AOneEntryMappingExportsThatColumnOnly) {
    Build(2);
    Writer.SetMappings(OneMapping("Name=Label"));
    Writer.BuildMappings(); // a prepared list stays as it is
    ASSERT_EQ(Writer.Mappings().Count(), 1);
    EXPECT_EQ(Writer.Mappings().ValueFromIndex(0), "Label");
    EXPECT_EQ(Run(), "H;T;[N1|][N2|]F;");

    Writer.SetMappings(Writer.Mappings()); // from its own list
    EXPECT_EQ(Writer.Mappings().Count(), 1);
}

TEST_F(TEngineFixture, EmptyMappingsAreFilledFromTheGrid) {
    Build(1);
    Writer.SetMappings(TMappings());
    EXPECT_EQ(Writer.Mappings().Count(), 2);
    EXPECT_EQ(Run(), "H;T;[1|N1|]F;");
}

TEST(ExportEngine, MappingEntriesParseNameAndValue) {
    TMappings m;
    m.Add("A=x=y");
    m.Add("B");
    m.Add("A=second");
    EXPECT_EQ(m.Names(0), "A");
    EXPECT_EQ(m.ValueFromIndex(0), "x=y");
    EXPECT_EQ(m.ValueFromIndex(1), "");
    EXPECT_EQ(m.IndexOfName("A"), 0);
    EXPECT_EQ(m.IndexOfName("a"), -1);
    EXPECT_EQ(m.Values("A"), "x=y");
    EXPECT_EQ(m.Values("C"), "");
}

TEST_F(TEngineFixture, MappingThatMatchesNoColumnIsAnError) {
    Build(2);
    Writer.SetMappings(OneMapping("Nope=X"));
    try {
        Run();
        FAIL() << "no error";
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Field 'Nope' is not a column of the grid");
    }
    EXPECT_FALSE(Table.ControlsDisabled());
}

TEST(ExportEngine, AssignCopiesTheSettingsAndAnOwnListOfMappings) {
    auto a = std::make_unique<TTraceExport>();
    a->SetRecordRange(rrToFirst);
    a->SetDestCols(3);
    a->SetNeedTitle(false);
    a->SetIncludeMemo(true);
    a->SetMaxRows(5);
    a->Mappings().Add("ID=Id");
    a->Mappings().Add("Name=N");
    TTraceExport b;
    b.Assign(*a);
    a->Mappings().SetValueFromIndex(0, "changed");
    a.reset();
    EXPECT_EQ(b.RecordRange(), rrToFirst);
    EXPECT_EQ(b.DestCols(), 3);
    EXPECT_FALSE(b.NeedTitle());
    EXPECT_TRUE(b.IncludeMemo());
    EXPECT_EQ(b.MaxRows(), -1); // not among what Assign copies
    ASSERT_EQ(b.Mappings().Count(), 2);
    EXPECT_EQ(b.Mappings().ValueFromIndex(0), "Id");
    EXPECT_EQ(b.Mappings().Names(1), "Name");
}

// --- Gathering the cells ----------------------------------------------------

TEST(ExportEngine, CellParamsComeFromTheColumnAndTheViewsHook) {
    TMemTable table;
    MakeNameCityTable(table, {{"Ann", "Rome"}});
    TDataSource source(&table);
    TTableView view; // columns laid out before the dataset is bound
    TColumn& name = view.AddColumn("Name");
    TFont font;
    font.Name = "Arial";
    font.Style = fsBold;
    name.SetFont(font);
    name.SetColor(clYellow);
    name.SetAlignment(taCenter);
    view.AddColumn("City").SetColor(clRed);
    view.AddColumn("Name").SetColor(clBlue); // the same field again
    view.AddColumn("Ghost");                 // no such field
    view.SetDataSource(&source);
    ASSERT_EQ(view.ColumnCount(), 4);
    std::vector<std::string> seen;
    view.OnGetCellParams = [&](TTableView&, TColumn& column, TDBGridCellParams& p) {
        EXPECT_EQ(p.State, 0u);
        EXPECT_NE(p.Font, &column.Font()); // a copy, not the column's own
        EXPECT_EQ(*p.Font, column.Font());
        seen.push_back(column.FieldName() + ":" + std::to_string(p.Background) + ":" +
                       std::to_string(p.Alignment));
        if (column.FieldName() == "City") p.Text = "<" + p.Text + ">";
        p.State = gdSelected; // the engine must reset it per cell
    };
    TTraceExport w;
    w.SetGrid(&view);
    TMappings m;
    m.Add("Name=A");
    m.Add("City=B");
    m.Add("Name=C");
    m.Add("Ghost=D");
    w.SetMappings(m);
    TMemoryStream s;
    w.ExportToStream(s);
    EXPECT_EQ(s.Data(), "H;T;[Ann|<Rome>|Ann||]F;");
    ASSERT_EQ(seen.size(), 4u);
    const std::string yellowCenter =
        ":" + std::to_string(clYellow) + ":" + std::to_string(taCenter);
    EXPECT_EQ(seen[0], "Name" + yellowCenter);
    EXPECT_EQ(seen[2], "Name" + yellowCenter); // both resolve to the first column
    EXPECT_EQ(seen[1], "City:" + std::to_string(clRed) + ":" + std::to_string(taLeftJustify));
}

// Two fields of one name, as a dBase table may hold them: each column
// exports its own field in every writer, in both XML layouts, and a field
// shown in two columns gives two cells, each with its column's look.
TEST(ExportEngine, TwoFieldsOfOneNameExportTheirOwnValues) {
    TTempFolder dir;
    const std::string path = dir / "twins.dbf";
    TDbfWriter::Write(
        path, dvDBase3, {{"NAME", 'C', 8}, {"NAME", 'C', 8}, {"NOTE", 'C', 8}},
        {{TValue::OfText("alpha"), TValue::OfText("beta"), TValue::OfText("seven")},
         {TValue::OfText("gamma"), TValue::OfText("delta"), TValue::OfText("eight")}});
    dbftest::TDbfTestDataSet table(path);
    table.Open();
    ASSERT_EQ(table.FieldCount(), 3);
    TDataSource source(&table);
    TWindowlessTableView view(&source);
    ASSERT_EQ(view.Column(1).Field(), &table.Fields(1));

    const auto document = [&](TKXExport& w) {
        w.SetGrid(&view);
        w.BuildMappings();
        TMemoryStream s;
        w.ExportToStream(s);
        return s.Data();
    };
    TKXExport2Text text;
    TKXExport2HTML html;
    TKXExport2XML packet, records;
    records.SetXMLScheme(0);
    TKXExport2RTF rtf;
    TKXExport2XLS xls;
    for (TKXExport* w :
         std::initializer_list<TKXExport*>{&text, &html, &packet, &records, &rtf, &xls}) {
        const std::string doc = document(*w);
        size_t at = 0;
        for (const char* value : {"alpha", "beta", "seven", "gamma", "delta", "eight"}) {
            at = doc.find(value, at);
            ASSERT_NE(at, std::string::npos) << typeid(*w).name() << ": " << value << "\n" << doc;
        }
        EXPECT_EQ(doc.find("alpha", doc.find("alpha") + 1), std::string::npos) << doc;
    }
    EXPECT_NE(document(text).find("NAME\tNAME\tNOTE\r\nalpha\tbeta\tseven\r\n"), std::string::npos);
    EXPECT_NE(document(packet).find("<FIELD attrname=\"NAME1\" fieldtype=\"string\" "
                                    "WIDTH=\"8\"/>"),
              std::string::npos);
    EXPECT_NE(document(packet).find("<ROW NAME=\"alpha\" NAME1=\"beta\" NOTE=\"seven\"/>"),
              std::string::npos);

    // One field in two columns of one's own: each cell takes its column's colour.
    view.AddColumn(table.Fields(0)).SetColor(clRed);
    view.AddColumn(table.Fields(0)).SetColor(clLime);
    TKXExport2HTML twice;
    const std::string doc = document(twice);
    EXPECT_NE(doc.find("BGCOLOR=#FF0000><FONT"), std::string::npos) << doc;
    EXPECT_NE(doc.find("BGCOLOR=#00FF00><FONT"), std::string::npos) << doc;
}

TEST(ExportEngine, MemoTextOnlyWithIncludeMemo) {
    TMemTable table;
    table.FieldDefs().Add("M", ftMemo);
    table.FieldDefs().Add("F", ftFmtMemo);
    table.Open();
    table.AppendRecord({TValue::OfText("one\r\ntwo"), TValue::OfText("{\\rtf x}")});
    table.AppendRecord({TValue::Null(), TValue::Null()});
    TDataSource source(&table);
    TWindowlessTableView view(&source);
    TTraceExport w;
    w.SetGrid(&view);
    w.BuildMappings();
    TMemoryStream s;
    w.ExportToStream(s);
    EXPECT_EQ(s.Data(), "H;T;[(MEMO)|(FMTMEMO)|][(Memo)|(FmtMemo)|]F;");
    w.SetIncludeMemo(true);
    s.Clear();
    w.ExportToStream(s);
    EXPECT_EQ(s.Data(), "H;T;[one\r\ntwo|(FMTMEMO)|][|(FmtMemo)|]F;");
}

TEST(ExportEngine, ViewWithoutAnOpenDatasetCannotBeExported) {
    TTraceExport w;
    TMemoryStream s;
    EXPECT_THROW(w.ExportToStream(s), EDatabaseError); // no grid
    TTableView view;
    w.SetGrid(&view);
    EXPECT_THROW(w.ExportToStream(s), EDatabaseError); // no dataset
    TMemTable table;
    MakeNumberedTable(table, 2);
    TDataSource source(&table);
    view.SetDataSource(&source);
    table.Close();
    EXPECT_THROW(w.ExportToStream(s), EDatabaseError); // closed
    EXPECT_EQ(s.Data(), "");
    EXPECT_FALSE(table.ControlsDisabled());
}

// --- File target ------------------------------------------------------------

namespace {

struct TFileFixture : TEngineFixture {
    std::filesystem::path Dir;
    std::string Path;

    void SetUp() override {
        std::string tmpl = (std::filesystem::temp_directory_path() / "export-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        Dir = tmpl;
        Path = (Dir / "out.txt").string();
    }
    void TearDown() override { std::filesystem::remove_all(Dir); }

    static std::string ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    static void WriteFile(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    std::vector<std::string> Listing() const {
        std::vector<std::string> names;
        for (auto& e : std::filesystem::directory_iterator(Dir))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

} // namespace

TEST_F(TFileFixture, ExportToFileReplacesTheFileWhenDone) {
    Build(3);
    WriteFile(Path, "old");
    ::chmod(Path.c_str(), 0640);
    std::string nameDuring;
    Writer.AfterWriteRow = [&](TKXExport& sender) { nameDuring = sender.FileName(); };
    Writer.ExportToFile(Path);
    EXPECT_EQ(ReadFile(Path), "H;T;[1|][2|][3|]F;");
    EXPECT_EQ(nameDuring, Path);
    EXPECT_EQ(Writer.FileName(), "");
    EXPECT_EQ(Listing(), std::vector<std::string>{"out.txt"});
    struct stat st;
    ASSERT_EQ(::stat(Path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(TFileFixture, FailedExportKeepsTheOldFileAndThePartialDocument) {
    Build(5);
    Table.SetRecNo(4);
    WriteFile(Path, "old content");
    WriteFile(Path + ".partial", "an older partial document");
    Writer.AfterWriteRow = [](TKXExport& sender) {
        if (sender.WrittenCount() == 2) throw std::runtime_error("cancelled");
    };
    EXPECT_THROW(Writer.ExportToFile(Path), std::runtime_error);
    EXPECT_EQ(ReadFile(Path), "old content");
    EXPECT_EQ(ReadFile(Path + ".partial"), "H;T;[1|][2|]");
    EXPECT_EQ(Listing(), (std::vector<std::string>{"out.txt", "out.txt.partial"}));
    EXPECT_EQ(Writer.FileName(), "");
    EXPECT_EQ(Table.RecNo(), 4);
    EXPECT_FALSE(Table.ControlsDisabled());
}

TEST_F(TFileFixture, ExportToAMissingDirectoryNamesThePath) {
    Build(1);
    const std::string bad = (Dir / "missing" / "out.txt").string();
    try {
        Writer.ExportToFile(bad);
        FAIL() << "no error";
    } catch (const EStreamError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot create file \"" + bad + "\": " + std::strerror(ENOENT));
    }
    EXPECT_EQ(Writer.FileName(), "");
    EXPECT_FALSE(Table.ControlsDisabled());
}

// --- Streams ----------------------------------------------------------------

TEST_F(TFileFixture, FileStreamKeepsSmallAndLargeWritesInOrder) {
    std::string big(200000, 'x');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>('a' + i % 26);
    {
        TFileStream f(Path);
        f.Write("head");
        f.Write(big);
        EXPECT_EQ(f.Size(), 4 + big.size());
        f.Write(std::string_view(big).substr(0, 70000 - 7));
        f.Write("tail");
        f.Close();
        EXPECT_THROW(f.Write("more"), EStreamError);
    }
    EXPECT_EQ(ReadFile(Path), "head" + big + big.substr(0, 70000 - 7) + "tail");

    {
        TFileStream f(Path); // replaces, and the destructor keeps what is buffered
        f.Write("short");
    }
    EXPECT_EQ(ReadFile(Path), "short");
}

TEST(FileStream, FullDiskIsAnError) {
    if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    const std::string reason = std::strerror(ENOSPC);
    {
        TFileStream f("/dev/full");
        f.Write("a few bytes that sit in the buffer");
        try {
            f.Close();
            FAIL() << "no error";
        } catch (const EStreamError& e) {
            EXPECT_EQ(std::string(e.what()), "Cannot write file \"/dev/full\": " + reason);
        }
    }
    {
        TFileStream f("/dev/full");
        EXPECT_THROW(f.Write(std::string(TFileStream::BufferSize + 1, 'x')),
                     EStreamError); // straight through
    }
    {
        // Past the first buffer the writing goes on another thread: its
        // failure comes out of a later Write or of Close, never lost.
        TFileStream f("/dev/full");
        bool raised = false;
        try {
            const std::string piece(100000, 'y');
            for (int i = 0; i < 40; ++i)
                f.Write(piece);
            f.Close();
        } catch (const EStreamError& e) {
            raised = true;
            EXPECT_EQ(std::string(e.what()), "Cannot write file \"/dev/full\": " + reason);
        }
        EXPECT_TRUE(raised);
    }
}

// Many buffers' worth in pieces of every size, one straight through among
// them: the file holds them in order.
TEST_F(TFileFixture, FileStreamWritesManyBuffersInOrder) {
    std::mt19937 rng(3);
    std::string want;
    {
        TFileStream f(Path);
        for (int i = 0; i < 200; ++i) {
            const size_t n = i == 100 ? TFileStream::BufferSize * 2 + 5 : 1 + rng() % 150000;
            std::string piece(n, static_cast<char>('a' + i % 26));
            piece[0] = static_cast<char>('0' + i % 10);
            f.Write(piece);
            want += piece;
            EXPECT_EQ(f.Size(), want.size());
        }
        f.Sync();
        f.Write("end");
        want += "end";
        f.Close();
    }
    EXPECT_TRUE(ReadFile(Path) == want);
}

// Taking back what was written: cut within the buffer, in bytes the writer
// thread wrote, and read back from any offset, past what the descriptor
// held when it was taken over. A file opened for writing only, a pipe and a
// device cannot.
TEST_F(TFileFixture, FileStreamTakesBackWhatWasWritten) {
    std::mt19937 rng(5);
    std::string want = "kept";
    const int fd = ::open(Path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "kept", 4), 4);
    {
        TFileStream f(fd, Path);
        ASSERT_TRUE(f.Rewritable());
        std::string written;
        for (int round = 0; round < 6; ++round) {
            const size_t n = round % 2 ? 100 : 3 * TFileStream::BufferSize + rng() % 100000;
            for (size_t k = 0; k < n; ++k)
                written += static_cast<char>('a' + rng() % 26);
            f.Write(written.data() + f.Size(), written.size() - f.Size());
            const uint64_t cut = rng() % (written.size() + 1);
            TMemoryStream tail;
            f.CopyTail(cut, tail);
            EXPECT_TRUE(tail.Data() == written.substr(cut)) << round;
            f.Truncate(cut);
            written.resize(cut);
            EXPECT_EQ(f.Size(), cut);
        }
        f.Write("!");
        f.Close();
        want += written + "!";
    }
    EXPECT_TRUE(ReadFile(Path) == want);

    TFileStream writeOnly(Path);
    EXPECT_FALSE(writeOnly.Rewritable());
    EXPECT_THROW(writeOnly.Truncate(0), EStreamError);
    int pipefd[2];
    ASSERT_EQ(::pipe(pipefd), 0);
    ::close(pipefd[0]);
    const int rw = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    {
        TFileStream pipe(pipefd[1], "pipe");
        EXPECT_FALSE(pipe.Rewritable());
        if (rw >= 0) {
            TFileStream device(rw, "/dev/null");
            EXPECT_FALSE(device.Rewritable());
        }
    }
    TMemoryStream memory;
    memory.Write("abcdef");
    memory.Truncate(4);
    TMemoryStream tail;
    memory.CopyTail(1, tail);
    EXPECT_EQ(tail.Data(), "bcd");
}

TEST(FileStream, CreateFailureNamesThePathAndTheReason) {
    try {
        TFileStream f("/nonexistent-dir/x.txt");
        FAIL() << "no error";
    } catch (const EStreamError& e) {
        EXPECT_EQ(std::string(e.what()),
                  std::string("Cannot create file \"/nonexistent-dir/x.txt\": ") +
                      std::strerror(ENOENT));
    }
}

// --- Clipboard target -------------------------------------------------------

namespace {

// A literal's bytes with its embedded zero, without the implicit one.
template <size_t N> std::string Bytes(const char (&s)[N]) {
    return std::string(s, N - 1);
}
template <size_t N> std::u16string Units(const char16_t (&s)[N]) {
    return std::u16string(s, N - 1);
}

std::string Utf16LE(std::u16string_view s) {
    std::string out;
    for (char16_t c : s) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

struct TClipboardFixture : ::testing::Test {
    TMemTable Table;
    TDataSource Source{&Table};
    TWindowlessTableView View;
    TKXExport2Text Writer;
    TMemoryClipboard Board;

    void Build(const std::vector<std::pair<std::string, std::string>>& rows) {
        MakeNameCityTable(Table, rows);
        View.Bind(&Source);
        Writer.SetGrid(&View);
        Writer.BuildMappings();
    }
};

} // namespace

TEST_F(TClipboardFixture, EmptyTableStillPlacesTheDocumentWithItsZero) {
    Build({});
    Writer.ExportToClipboard(Board);
    EXPECT_FALSE(Board.IsOpen());
    EXPECT_EQ(Board.OpenCount(), 0);
    ASSERT_TRUE(Board.HasFormat(CF_TEXT));
    EXPECT_EQ(Board.Data(CF_TEXT), Bytes("Name\tCity\r\n\0"));
    ASSERT_TRUE(Board.HasFormat(CF_UNICODETEXT));
    EXPECT_EQ(Board.Data(CF_UNICODETEXT), Utf16LE(Units(u"Name\tCity\r\n\0")));
}

TEST_F(TClipboardFixture, UnicodeCopyCarriesTheSameCharacters) {
    Build({{"Zoë", "香港"}, {"😀", "x"}});
    Writer.SetNeedTitle(false);
    Writer.ExportToClipboard(Board);
    EXPECT_EQ(Board.Data(CF_TEXT), Bytes("Zoë\t香港\r\n😀\tx\r\n\0"));
    EXPECT_EQ(Board.Data(CF_UNICODETEXT), Utf16LE(Units(u"Zoë\t香港\r\n\U0001F600\tx\r\n\0")));
}

TEST_F(TClipboardFixture, NoUnicodeCopyWhereThePlatformWantsNone) {
    Build({{"Ann", "Rome"}});
    TMemoryClipboard plain(false);
    Writer.ExportToClipboard(plain);
    EXPECT_TRUE(plain.HasFormat(CF_TEXT));
    EXPECT_FALSE(plain.HasFormat(CF_UNICODETEXT));
}

TEST_F(TClipboardFixture, FailedExportClosesTheClipboardAndLeavesItsContent) {
    Build({{"Ann", "Rome"}, {"Bob", "Oslo"}});
    Board.Open();
    Board.SetAsHandle(CF_TEXT, Bytes("before\0"));
    Board.Close();
    Writer.AfterWriteRow = [](TKXExport&) { throw std::runtime_error("x"); };
    EXPECT_THROW(Writer.ExportToClipboard(Board), std::runtime_error);
    EXPECT_FALSE(Board.IsOpen());
    EXPECT_EQ(Board.Data(CF_TEXT), Bytes("before\0"));
    EXPECT_FALSE(Table.ControlsDisabled());
}

TEST_F(TClipboardFixture, TheDefaultClipboardIsTheInstalledOne) {
    Build({{"Ann", "Rome"}});
    SetClipboard(&Board);
    Writer.ExportToClipboard();
    SetClipboard(nullptr);
    EXPECT_EQ(Board.Data(CF_TEXT), Bytes("Name\tCity\r\nAnn\tRome\r\n\0"));
    EXPECT_NE(&Clipboard(), &Board);
}

TEST(MemoryClipboard, FirstFormatAfterOpenEmptiesTheClipboard) {
    TMemoryClipboard board;
    EXPECT_THROW(board.SetAsHandle(CF_TEXT, "x"), std::logic_error);
    board.Open();
    board.SetAsHandle(CF_TEXT, "a");
    board.SetAsHandle(CF_UNICODETEXT, "b");
    board.Close();
    board.Open();
    board.SetAsHandle(CF_TEXT, "c");
    board.Close();
    EXPECT_EQ(board.Data(CF_TEXT), "c");
    EXPECT_FALSE(board.HasFormat(CF_UNICODETEXT));
    EXPECT_EQ(board.Data(CF_UNICODETEXT), "");
}

TEST(Unicode, Utf8ToUtf16ReplacesEachIllFormedSequence) {
    EXPECT_EQ(Utf8ToUtf16("A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"), u"Aé€\U0001F600");
    EXPECT_EQ(Utf8ToUtf16(std::string_view("a\0b", 3)), std::u16string(u"a\0b", 3));
    EXPECT_EQ(Utf8ToUtf16("\x80x"), u"\uFFFDx");                   // stray continuation
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");           // overlong
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD"); // encoded surrogate
    EXPECT_EQ(Utf8ToUtf16("\xE2\x82"
                          "A"),
              u"\uFFFDA"); // cut short, next byte kept
    EXPECT_EQ(Utf8ToUtf16("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD"); // past U+10FFFF
    EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98"), u"\uFFFD");                       // truncated at the end
    EXPECT_EQ(Utf8ToUtf16("\xFF"), u"\uFFFD");
}

TEST(Unicode, Utf16ToUtf8RoundTripsAndReplacesLoneSurrogates) {
    const std::string text = "Zoë Ærø 香港 \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF";
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(text)), text);
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800)) + u"x"), "\xEF\xBF\xBDx");
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xDC00))), "\xEF\xBF\xBD");
}

// Another program truncates or rewrites a table while this one reads it
// through its mapping: the read must end in an error that says so, never
// in SIGBUS, and a document being written must not take the place of the
// one that stood at its destination.

#include "data/base/DatabaseError.h"
#include "data/dataset/DataSource.h"
#include "data/dataset/ReadAhead.h"
#include "data/drivers/dbf/DbfDriver.h"
#include "data/drivers/dbf/DbfWriter.h"
#include "data/drivers/paradox/ParadoxDriver.h"
#include "data/drivers/paradox/ParadoxWriter.h"
#include "data/drivers/text/DelimitedTableWriter.h"
#include "data/drivers/text/TextDriver.h"
#include "data/locale/DateTimeFormat.h"
#include "data/platform/MappedFile.h"
#include "export/KXExport2Text.h"
#include "export/view/WindowlessTableView.h"
#include "tests/support/TableFileTestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

namespace {

constexpr const char* Changed = "changed while it was read";

// What another program does to the file: cut it to `size` bytes.
void Cut(const std::string& path, off_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0) << path;
    ASSERT_EQ(::ftruncate(fd, size), 0);
    ::close(fd);
}

// ... or copy a file of the same bytes over it, as cp does: cut to nothing,
// then written again.
void CopyOver(const std::string& path, const std::string& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    ASSERT_GE(fd, 0) << path;
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
}

// Back-dates the file, so that any write now gives it a new time even on a
// file system whose clock moves in coarse steps.
void BackDate(const std::string& path) {
    const timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

off_t SizeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

// The handler may not be ours to install: a sanitizer told to keep SIGBUS
// refuses it, and a cut file then kills.
#define REQUIRE_GUARD()                                                                            \
    if (!TMappedFile::Guarded())                                                                   \
    GTEST_SKIP() << "the sanitizer keeps SIGBUS (ASAN_OPTIONS handle_sigbus=2 or "                 \
                    "allow_user_segv_handler=0)"

// Exports every column of `ds` as text to `dest`; `during` runs after the
// record that makes WrittenCount `at`. Returns the error, "" when none.
std::string ExportWhile(TDataSet& ds, const std::string& dest, int at,
                        const std::function<void()>& during) {
    TDataSource source{&ds};
    TWindowlessTableView view;
    view.Bind(&source);
    TKXExport2Text writer;
    writer.SetGrid(&view);
    writer.SetMappings(TMappings());
    writer.AfterWriteRow = [&](TKXExport& w) {
        if (w.WrittenCount() == at) during();
    };
    return RaisedMessage([&] { writer.ExportToFile(dest); });
}

// Reads every value of every record from the current one on.
void ReadAll(TDataSet& ds) {
    std::string text;
    for (; !ds.Eof(); ds.Next())
        for (int i = 0; i < ds.FieldCount(); ++i)
            ds.Fields(i).GetDisplayText(text);
}

std::string WriteDbf(const TTempFolder& dir, int records) {
    const std::string path = dir / "orders.dbf";
    TDbfWriter w(
        path, dvDBase3,
        {{"NAME", 'C', 20}, {"QTY", 'N', 10}, {"PRICE", 'N', 12, 2}, {"DAY", 'D'}, {"OK", 'L'}},
        1252);
    for (int i = 0; i < records; ++i)
        w.AddRecord({TValue::OfText("name " + std::to_string(i)), TValue::OfInt(i * 7 - 300),
                     TValue::OfFloat(i * 1.25),
                     TValue::OfDateTime(EncodeDate(2000 + i % 20, 1 + i % 12, 1 + i % 28)),
                     TValue::OfBool(i % 3 == 0)});
    w.Finish();
    BackDate(path);
    return path;
}

std::string WriteParadox(const TTempFolder& dir, int records) {
    const std::string path = dir / "orders.db";
    TParadoxWriter w(path, {{"Name", 'A', 20}, {"Qty", 'I'}, {"Price", 'N'}}, 0, 1252);
    for (int i = 0; i < records; ++i)
        w.AddRecord({TValue::OfText("name " + std::to_string(i)), TValue::OfInt(i * 7 - 300),
                     TValue::OfFloat(i * 1.25)});
    w.Finish();
    BackDate(path);
    return path;
}

std::string WriteText(const TTempFolder& dir, int records) {
    const std::string path = dir / "orders.csv";
    std::vector<std::vector<TValue>> rows;
    for (int i = 0; i < records; ++i)
        rows.push_back({TValue::OfText("name " + std::to_string(i)), TValue::OfInt(i * 7 - 300),
                        TValue::OfFloat(i * 1.25)});
    TDelimitedTableWriter::Write(path, {"Name", "Qty", "Price"}, rows, TDelimitedFormat());
    BackDate(path);
    return path;
}

const std::string OldDocument = "the document that stood here\r\n";

} // namespace

// ---- The mapping itself ------------------------------------------------------------

TEST(ChangedTable, ACutMappingReadsZerosAndSaysSo) {
    REQUIRE_GUARD();
    TTempFolder dir;
    const std::string path = dir / "big.bin", other = dir / "other.bin";
    PutFileBytes(path, std::string(1 << 20, 'x'));
    PutFileBytes(other, std::string(1 << 16, 'y'));
    TMappedFile map(path), kept(other);
    EXPECT_TRUE(map.Intact());
    EXPECT_EQ(map.Data()[0], 'x');
    Cut(path, 5000); // in the middle of the second page
    // Beyond the new end: zeros instead of SIGBUS, and the mark.
    EXPECT_EQ(map.Data()[600000], 0);
    EXPECT_FALSE(map.Intact());
    EXPECT_FALSE(map.Unchanged());
    const std::string error = RaisedMessage([&] { map.CheckIntact("table"); });
    EXPECT_NE(error.find(Changed), std::string::npos) << error;
    EXPECT_NE(error.find(path), std::string::npos) << error;
    // The whole mapping reads zeros from then on, so nothing half-read passes.
    EXPECT_EQ(map.Data()[0], 0);
    EXPECT_EQ(map.Data()[map.Size() - 1], 0);
    // Another mapping is not concerned; nor is a new mapping of the cut file.
    EXPECT_TRUE(kept.Intact());
    EXPECT_EQ(kept.Data()[1000], 'y');
    TMappedFile again(path);
    EXPECT_TRUE(again.Intact());
    EXPECT_EQ(again.Size(), 5000u);
    // Moved and closed mappings give their place back.
    TMappedFile moved(std::move(map));
    EXPECT_FALSE(moved.Intact());
    moved.Close();
    EXPECT_TRUE(moved.Intact());
}

TEST(ChangedTable, AWatchedFileRewrittenInPlaceIsNoticed) {
    TTempFolder dir;
    const std::string path = dir / "t.bin";
    const std::string bytes(3 << 20, 'z');
    PutFileBytes(path, bytes);
    BackDate(path);
    TMappedFile watched(path, true), unwatched(path);
    EXPECT_TRUE(watched.Unchanged());
    CopyOver(path, bytes); // the same bytes: no fault, only a new time
    EXPECT_TRUE(unwatched.Unchanged());
    EXPECT_FALSE(watched.Unchanged());
    EXPECT_FALSE(watched.Intact()); // marked for every reader from now on
    EXPECT_NE(RaisedMessage([&] { watched.CheckUnchanged("table"); }).find(Changed),
              std::string::npos);
}

// A SIGBUS that is not in a mapping of ours still ends the process, as it
// would without the handler.
TEST(ChangedTable, AFaultOutsideOurMappingsStillKills) {
    TTempFolder dir;
    const std::string path = dir / "raw.bin";
    PutFileBytes(path, std::string(1 << 16, 'r'));
    TMappedFile ours(path); // the handler is in place
    EXPECT_EXIT(
        {
            const int fd = ::open(path.c_str(), O_RDWR);
            auto* p = static_cast<volatile const char*>(
                ::mmap(nullptr, 1 << 16, PROT_READ, MAP_SHARED, fd, 0));
            if (::ftruncate(fd, 0) != 0) ::_exit(3);
            const char c = p[1 << 15];
            ::_exit(c == 0 ? 4 : 5);
        },
        [](int status) { return !WIFEXITED(status); }, "");
}

// ---- dBase: the export, with its reader ahead on the other thread ---------------------

TEST(ChangedTable, ADbaseTableCutDuringAnExportFailsAndKeepsTheDestination) {
    REQUIRE_GUARD();
    TTempFolder dir;
    const std::string table = WriteDbf(dir, 40000);
    const std::string dest = dir / "orders.txt";
    // Cut where the reader ahead has not come yet, in the middle of a page.
    for (off_t cut : {SizeOf(table) / 2 + 123, off_t{300}}) {
        SCOPED_TRACE("cut to " + std::to_string(cut));
        const std::string copy = dir / "copy.dbf";
        PutFileBytes(copy, FileBytes(table));
        PutFileBytes(dest, OldDocument);
        TFileTestDataSet<TDbfDriver> ds(copy);
        ds.Open();
        const std::string error = ExportWhile(ds, dest, 50, [&] { Cut(copy, cut); });
        EXPECT_NE(error.find(Changed), std::string::npos) << error;
        EXPECT_NE(error.find(copy), std::string::npos) << error;
        EXPECT_EQ(FileBytes(dest), OldDocument);
        // The dataset goes on raising, rather than showing zeros as values.
        ds.First();
        EXPECT_NE(RaisedMessage([&] { ReadAll(ds); }).find(Changed), std::string::npos);
    }
}

// cp over the table: cut to nothing and written again. The pages may never
// fault; the file's new time says it all the same.
TEST(ChangedTable, ADbaseTableCopiedOverDuringAnExportFails) {
    TTempFolder dir;
    const std::string table = WriteDbf(dir, 20000);
    const std::string bytes = FileBytes(table);
    const std::string dest = dir / "orders.txt";
    PutFileBytes(dest, OldDocument);
    TFileTestDataSet<TDbfDriver> ds(table);
    ds.Open();
    const std::string error = ExportWhile(ds, dest, 19990, [&] { CopyOver(table, bytes); });
    EXPECT_NE(error.find(Changed), std::string::npos) << error;
    EXPECT_EQ(FileBytes(dest), OldDocument);
    // Opened again, the table reads and exports as before.
    TFileTestDataSet<TDbfDriver> fresh(table);
    fresh.Open();
    EXPECT_EQ(ExportWhile(fresh, dest, -1, [] {}), "");
    EXPECT_NE(FileBytes(dest), OldDocument);
}

// The reader ahead meets the cut on its own thread; the walk behind it must
// not hand on what it read after the cut.
TEST(ChangedTable, TheReaderAheadStopsAtACutAndTheWalkRaises) {
    REQUIRE_GUARD();
    TTempFolder dir;
    const std::string table = WriteDbf(dir, 3 * TReadAhead::ChunkRecords * 4);
    TFileTestDataSet<TDbfDriver> ds(table);
    ds.Open();
    ds.First();
    std::vector<const TField*> fields;
    for (int i = 0; i < ds.FieldCount(); ++i)
        fields.push_back(&ds.Fields(i));
    TReadAhead ahead(ds, fields);
    ASSERT_TRUE(ahead.Active());
    Cut(table, 4096 * 3 + 17);
    std::string text;
    const std::string error = RaisedMessage([&] {
        for (; !ds.Eof(); ds.Next())
            for (int i = 0; i < ds.FieldCount(); ++i)
                if (!ahead.Take(static_cast<size_t>(i), ds.Fields(i), text))
                    ds.Fields(i).GetDisplayText(text);
        ds.CheckUnchanged();
    });
    EXPECT_NE(error.find(Changed), std::string::npos) << error;
}

// Scans that are not exports meet the same error; a table cut before it is
// opened is simply a truncated table.
TEST(ChangedTable, ADbaseScanRaisesAndReopeningSaysTruncated) {
    REQUIRE_GUARD();
    TTempFolder dir;
    const std::string table = WriteDbf(dir, 5000);
    TFileTestDataSet<TDbfDriver> ds(table);
    ds.Open();
    ds.First();
    Cut(table, 4096 * 8);
    const std::string error = RaisedMessage([&] { ReadAll(ds); });
    EXPECT_NE(error.find(Changed), std::string::npos) << error;
    // An edit now would copy zeros into the new table: it is refused.
    ds.First();
    EXPECT_NE(RaisedMessage([&] {
                  ds.Edit();
                  ds.Fields(0).SetAsString("x");
                  ds.Post();
              }),
              "");
    EXPECT_EQ(SizeOf(table), 4096 * 8);
    ds.Close();
    TFileTestDataSet<TDbfDriver> again(table);
    EXPECT_NE(RaisedMessage([&] { again.Open(); }), "");
}

// ---- Paradox and text tables map their files too --------------------------------------

TEST(ChangedTable, AParadoxTableCutDuringAnExportFailsAndKeepsTheDestination) {
    REQUIRE_GUARD();
    TTempFolder dir;
    const std::string table = WriteParadox(dir, 6000);
    const std::string dest = dir / "orders.txt";
    PutFileBytes(dest, OldDocument);
    TFileTestDataSet<TParadoxDriver> ds(table);
    ds.Open();
    const std::string error = ExportWhile(ds, dest, 10, [&] { Cut(table, SizeOf(table) / 3); });
    EXPECT_NE(error.find(Changed), std::string::npos) << error;
    EXPECT_EQ(FileBytes(dest), OldDocument);
}

TEST(ChangedTable, ATextTableCutDuringAnExportFailsAndKeepsTheDestination) {
    REQUIRE_GUARD();
    TTempFolder dir;
    const std::string table = WriteText(dir, 40000);
    const std::string dest = dir / "orders.txt";
    PutFileBytes(dest, OldDocument);
    TFileTestDataSet<TTextDriver> ds(table);
    ds.Open();
    const std::string error = ExportWhile(ds, dest, 10, [&] { Cut(table, SizeOf(table) / 3 + 5); });
    EXPECT_NE(error.find(Changed), std::string::npos) << error;
    EXPECT_EQ(FileBytes(dest), OldDocument);
}

// The text driver keeps offsets into the file: copied over with the same
// bytes, it would read the right values by luck, and says instead that the
// file changed.
TEST(ChangedTable, ATextTableCopiedOverDuringAnExportFails) {
    TTempFolder dir;
    const std::string table = WriteText(dir, 5000);
    const std::string bytes = FileBytes(table);
    const std::string dest = dir / "orders.txt";
    PutFileBytes(dest, OldDocument);
    TFileTestDataSet<TTextDriver> ds(table);
    ds.Open();
    const std::string error = ExportWhile(ds, dest, 4000, [&] { CopyOver(table, bytes); });
    EXPECT_NE(error.find(Changed), std::string::npos) << error;
    EXPECT_EQ(FileBytes(dest), OldDocument);
}

#include "tests/support/DbfTestSupport.h"
#include "tests/support/EditCrashHarness.h"

#include "data/platform/AtomicFile.h"
#include "data/platform/RollbackJournal.h"

#include <functional>
#include <optional>

#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace dbftest;
using namespace edittest;

namespace {
// Three records: NAME C10, QTY N5, NOTE M.
std::string MakePeople(const TTempFolder& dir, TDbfVariant variant = dvDBase3) {
    std::string path = dir / "people.dbf";
    TDbfWriter w(path, variant, {F("NAME", 'C', 10), F("QTY", 'N', 5), F("NOTE", 'M')});
    w.SetUpdateDate(2001, 2, 3);
    w.AddRecord({Text("Ann"), Int(1), Text("first")});
    w.AddRecord({Text("Bob"), Int(2), Null()});
    w.AddRecord({Text("Cid"), Int(3), Text("third")});
    w.Finish();
    return path;
}

std::string People(const TTempFolder& dir) {
    return MakePeople(dir);
}

std::string MemoOf(const std::string& path) {
    return path.substr(0, path.size() - 3) + "dbt";
}

void ExpectTodayInHeader(const std::string& bytes) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    EXPECT_EQ(static_cast<uint8_t>(bytes[1]), local.tm_year);
    EXPECT_EQ(static_cast<uint8_t>(bytes[2]), local.tm_mon + 1);
    EXPECT_EQ(static_cast<uint8_t>(bytes[3]), local.tm_mday);
}

size_t FilesIn(const TTempFolder& dir) {
    size_t n = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.Path()))
        (void)e, ++n;
    return n;
}
} // namespace

TEST(DbfEdit, EditChangesOneRecordAndKeepsTheRest) {
    TTempFolder dir;
    std::string path = MakePeople(dir);
    std::string before = ReadBytes(path), memoBefore = ReadBytes(MemoOf(path));
    {
        TOpenTable t(path);
        EXPECT_EQ(t.Driver.Post(1, {Text("Bob"), Int(20), Null()}), 1u);
    }
    std::string after = ReadBytes(path);
    ASSERT_EQ(after.size(), before.size());
    TOpenTable t(path);
    const TDbfHeader& h = t.Driver.Header();
    ExpectTodayInHeader(after);
    for (size_t i = 0; i < after.size(); ++i) {
        bool date = i >= 1 && i <= 3;
        bool qty = i >= h.RecordOffset(1) + 11 && i < h.RecordOffset(1) + 16;
        if (!date && !qty) {
            ASSERT_EQ(after[i], before[i]) << "byte " << i;
        }
    }
    EXPECT_EQ(after.substr(h.RecordOffset(1) + 11, 5), "   20");
    EXPECT_EQ(ReadBytes(MemoOf(path)), memoBefore); // the memo was not touched
    EXPECT_EQ(t.Get(1, 1).Int, 20);
}

TEST(DbfEdit, InsertAppendsWithTheNextNumber) {
    TTempFolder dir;
    std::string path = MakePeople(dir);
    {
        TOpenTable t(path);
        EXPECT_EQ(t.Driver.Post(-1, {Text("Dee"), Null(), Text("fourth")}), 3u);
        EXPECT_EQ(t.Driver.Post(-1, {Null(), Int(5), Null()}), 4u);
    }
    std::string bytes = ReadBytes(path);
    TOpenTable t(path);
    const TDbfHeader& h = t.Driver.Header();
    EXPECT_EQ(h.RecordCount, 5u);
    EXPECT_EQ(bytes.size(), h.RecordOffset(5) + 1);
    EXPECT_EQ(bytes.back(), '\x1A');
    EXPECT_EQ(t.Get(3, 0).Text, "Dee");
    EXPECT_TRUE(t.Get(3, 1).IsNull());
    EXPECT_EQ(t.Get(3, 2).Text, "fourth");
    EXPECT_EQ(t.Get(4, 0).Text, "");
    EXPECT_EQ(t.Get(4, 1).Int, 5);
    EXPECT_EQ(t.Get(0, 2).Text, "first");
}

TEST(DbfEdit, ChangedMemosGoBehindTheOldBlocks) {
    for (TDbfVariant v : {dvDBase3, dvDBase4, dvFoxPro, dvVisualFoxPro}) {
        SCOPED_TRACE(v);
        TTempFolder dir;
        std::string path = MakePeople(dir, v);
        std::string memoPath = (v == dvFoxPro || v == dvVisualFoxPro)
                                   ? path.substr(0, path.size() - 3) + "fpt"
                                   : MemoOf(path);
        std::string memoBefore = ReadBytes(memoPath);
        std::string big(3000, 'z');
        {
            TOpenTable t(path);
            t.Driver.Post(0, {Text("Ann"), Int(1), Text(big)});
            t.Driver.Post(2, {Text("Cid"), Int(3), Null()});
            EXPECT_EQ(t.Get(0, 2).Text, big);
        }
        std::string memoAfter = ReadBytes(memoPath);
        ASSERT_GT(memoAfter.size(), memoBefore.size());
        // The old values stay where they were (only the next-free number moved).
        EXPECT_EQ(memoAfter.substr(4, memoBefore.size() - 4), memoBefore.substr(4));
        TOpenTable t(path);
        TDbfMemoFile memo;
        memo.Open(memoPath, t.Driver.Header().IsFox() ? mkFpt : v == dvDBase3 ? mkDbt3 : mkDbt4);
        EXPECT_EQ(static_cast<uint64_t>(memo.NextFree()) * memo.BlockSize(), memoAfter.size());
        EXPECT_EQ(t.Get(0, 2).Text, big);
        EXPECT_TRUE(t.Get(2, 2).IsNull());
        EXPECT_TRUE(t.Get(1, 2).IsNull());
    }
}

TEST(DbfEdit, DeleteSetsOnlyTheFlag) {
    TTempFolder dir;
    std::string path = MakePeople(dir);
    std::string before = ReadBytes(path);
    size_t flag;
    {
        TOpenTable t(path);
        flag = t.Driver.Header().RecordOffset(1);
        t.Driver.Delete(1);
        EXPECT_FALSE(t.Driver.RecordLive(1));
        EXPECT_FALSE(t.Driver.AllLive());
        t.Driver.Delete(1); // already deleted: nothing happens
    }
    std::string after = ReadBytes(path);
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 4; i < after.size(); ++i)
        if (i != flag) {
            ASSERT_EQ(after[i], before[i]) << i;
        }
    EXPECT_EQ(after[flag], '*');
    TOpenTable t(path);
    EXPECT_EQ(t.Driver.DeletedCount(), 1u);
    EXPECT_NE(ErrorOf([&] {
                  t.Driver.Post(1, {Text("x"), Null(), Null()});
              }).find("deleted"),
              std::string::npos);
}

TEST(DbfEdit, AutoIncrementFieldsCountOnAcrossOpens) {
    TDbfFieldSpec vfpId = F("ID", 'I');
    vfpId.AutoIncrement = true;
    struct TCase {
        TDbfVariant Variant;
        TDbfFieldSpec Id;
    } cases[] = {{dvVisualFoxPro, vfpId}, {dvDBase7, F("ID", '+')}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Variant);
        TTempFolder dir;
        std::string path = dir / "a.dbf";
        TDbfWriter::Write(path, c.Variant, {c.Id, F("NAME", 'C', 5)},
                          {{Null(), Text("a")}, {Null(), Text("b")}});
        {
            TOpenTable t(path);
            EXPECT_TRUE(t.Fields[0].ReadOnly);
            EXPECT_EQ(t.Fields[0].DataType, ftAutoInc);
            t.Driver.Post(-1, {Int(99), Text("c")}); // a given number is not taken
            EXPECT_EQ(t.Get(2, 0).Int, 3);
        }
        TOpenTable t(path);
        t.Driver.Post(-1, {Null(), Text("d")});
        EXPECT_EQ(t.Get(3, 0).Int, 4);
        t.Driver.Post(0, {Int(50), Text("a2")}); // editing keeps the number
        EXPECT_EQ(t.Get(0, 0).Int, 1);
        EXPECT_EQ(t.Get(0, 1).Text, "a2");
    }
}

TEST(DbfEdit, TooLongTextIsRefusedAndTheFileStays) {
    TTempFolder dir;
    std::string path = MakePeople(dir);
    std::string before = ReadBytes(path);
    TOpenTable t(path);
    std::string err = ErrorOf([&] {
        t.Driver.Post(0, {Text("Annabelle-Lee"), Int(1), Text("first")});
    });
    EXPECT_NE(err.find("NAME"), std::string::npos) << err;
    EXPECT_NE(err.find("holds 10"), std::string::npos) << err;
    EXPECT_NE(ErrorOf([&] {
                  t.Driver.Post(0, {Text("A"), Int(123456), Text("first")});
              }).find("QTY"),
              std::string::npos);
    EXPECT_NE(ErrorOf([&] {
                  t.Driver.Post(0, {Text("A"), Text("many"), Text("first")});
              }).find("not a number"),
              std::string::npos);
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(t.Get(0, 0).Text, "Ann");
}

namespace {
struct TEditOp {
    const char* Name;
    std::function<void(TDbfDriver&)> Run;
};
const std::vector<TEditOp>& EditOps() {
    static const std::vector<TEditOp> ops = {
        {"edit",
         [](TDbfDriver& d) {
             d.Post(1, {Text("Bobby"), Int(7), Text("a new memo")});
         }},
        {"insert",
         [](TDbfDriver& d) {
             d.Post(-1, {Text("Eve"), Int(9), Text("memo of a new record")});
         }},
        {"delete", [](TDbfDriver& d) { d.Delete(2); }},
    };
    return ops;
}

// The table as it reads: every record's values and flag.
std::string Reading(const std::string& path) {
    TOpenTable t(path);
    std::string out = std::to_string(t.Driver.RecordCount()) + ";";
    for (uint32_t r = 0; r < t.Driver.RecordCount(); ++r) {
        out += t.Driver.RecordLive(r) ? "+" : "-";
        for (int f = 0; f < 3; ++f)
            out += t.Get(r, f).Text + "|";
    }
    return out;
}
} // namespace

// A write that fails at any of its writes and syncs leaves both files
// byte for byte as they were, no journal behind, and the open table as it was.
TEST(DbfEdit, InjectedFailuresLeaveTheOldTable) {
    TTempFolder dir;
    std::string path = MakePeople(dir);
    const std::string dbf = ReadBytes(path), dbt = ReadBytes(MemoOf(path));
    const size_t files = FilesIn(dir);
    TOpenTable t(path);
    for (const TEditOp& op : EditOps()) {
        const int steps = StepsOnACopy<TOpenTable>(People, op.Run);
        EXPECT_GE(steps, 6) << op.Name;
        // The last step removes the journal: the change stands.
        for (int step = 1; step < steps; ++step) {
            SCOPED_TRACE(std::string(op.Name) + " failing at step " + std::to_string(step));
            const std::string err = FailingAt(step, [&] { op.Run(t.Driver); });
            EXPECT_NE(err.find(path), std::string::npos) << err;
            EXPECT_NE(err.find("injected"), std::string::npos) << err;
            EXPECT_EQ(ReadBytes(path), dbf);
            EXPECT_EQ(ReadBytes(MemoOf(path)), dbt);
            EXPECT_EQ(FilesIn(dir), files);
            EXPECT_EQ(t.Driver.RecordCount(), 3u);
            EXPECT_EQ(t.Get(1, 0).Text, "Bob");
            EXPECT_TRUE(t.Driver.RecordLive(2));
        }
    }
    for (const TEditOp& op : EditOps())
        op.Run(t.Driver);
    TOpenTable after(path);
    EXPECT_EQ(after.Get(1, 2).Text, "a new memo");
    EXPECT_EQ(after.Get(3, 2).Text, "memo of a new record");
    EXPECT_FALSE(after.Driver.RecordLive(2));
    EXPECT_TRUE(after.Driver.Warnings().List().empty());
}

// A writer that dies at any write or sync leaves a table that opens as the
// old one or the new one (the journal rolled back, and said so), never a mix.
TEST(DbfEdit, AWriterDyingAtAnyStepLeavesTheOldOrTheNewTable) {
    for (const TEditOp& op : EditOps()) {
        TTempFolder dir;
        std::string path = MakePeople(dir);
        const std::string oldBytes = ReadBytes(path), oldMemo = ReadBytes(MemoOf(path));
        const std::string oldReading = Reading(path);
        std::string newReading;
        const int steps = StepsOnACopy<TOpenTable>(
            People, op.Run, [&](const std::string& copy) { newReading = Reading(copy); });
        ASSERT_NE(newReading, oldReading);
        for (int step = 1; step <= steps; ++step) {
            SCOPED_TRACE(std::string(op.Name) + " dying at step " + std::to_string(step));
            WriteBytes(path, oldBytes);
            WriteBytes(MemoOf(path), oldMemo);
            ASSERT_TRUE(DiesAtStep(step, [&] {
                TOpenTable c(path);
                op.Run(c.Driver);
            }));
            const bool journalLeft = std::filesystem::exists(path + "-journal");
            TOpenTable t(path);
            ExpectOldOrNew(path, step, journalLeft, t.Driver.Warnings().List(), Reading(path),
                           oldReading, newReading);
            // With the journal still there (whole, or torn before the table
            // was touched) the old bytes come back exactly.
            if (journalLeft) {
                EXPECT_EQ(ReadBytes(path), oldBytes);
                EXPECT_EQ(ReadBytes(MemoOf(path)), oldMemo);
            }
        }
    }
}

// A journal cut short (torn while it was written) is removed and the table
// left alone; a whole one is applied; one that cannot be applied keeps the
// table from opening.
TEST(DbfEdit, TornAndWholeJournalsOnOpen) {
    TTempFolder dir;
    std::string path = MakePeople(dir);
    const std::string oldBytes = ReadBytes(path);
    // The journal synced, the table being written.
    ASSERT_TRUE(DiesAtStep(4, [&] {
        TOpenTable c(path);
        c.Driver.Post(0, {Text("Zed"), Int(5), Null()});
    }));
    const std::string journal = ReadBytes(path + "-journal");
    ASSERT_FALSE(journal.empty());
    // Torn: every cut of it is recognised, and nothing is written.
    for (size_t cut : {size_t(0), size_t(5), journal.size() / 2, journal.size() - 1}) {
        WriteBytes(path + "-journal", journal.substr(0, cut));
        std::string scribbled = oldBytes;
        scribbled[scribbled.size() - 3] = '#';
        WriteBytes(path, scribbled);
        TOpenTable t(path);
        ASSERT_EQ(t.Driver.Warnings().List().size(), 1u);
        EXPECT_NE(t.Driver.Warnings().List()[0].find("removed"), std::string::npos);
        EXPECT_EQ(ReadBytes(path), scribbled);
        EXPECT_FALSE(std::filesystem::exists(path + "-journal"));
    }
    // A flipped byte fails the checksum just the same.
    std::string flipped = journal;
    flipped[20] ^= 1;
    WriteBytes(path + "-journal", flipped);
    WriteBytes(path, oldBytes);
    EXPECT_EQ(TOpenTable(path).Driver.Warnings().List().size(), 1u);
    EXPECT_EQ(ReadBytes(path), oldBytes);
    // Whole: applied over a half-written table.
    WriteBytes(path + "-journal", journal);
    std::string half = oldBytes;
    const size_t headerLength = static_cast<uint8_t>(oldBytes[8]) |
                                static_cast<size_t>(static_cast<uint8_t>(oldBytes[9])) << 8;
    half[headerLength + 3] = 'Q'; // inside the record the journal covers
    half[4] = 9;                  // and a count the header did not have
    WriteBytes(path, half + "trailing bytes of a grown file");
    {
        TOpenTable t(path);
        EXPECT_EQ(t.Driver.Warnings().List().size(), 1u);
        EXPECT_EQ(ReadBytes(path), oldBytes);
    }
    // Whole but the table cannot be written: refused with the reason.
    if (geteuid() != 0) {
        WriteBytes(path + "-journal", journal);
        chmod(path.c_str(), 0444);
        std::string err = ErrorOf([&] { TOpenTable t(path); });
        EXPECT_NE(err.find("cannot be rolled back"), std::string::npos) << err;
        chmod(path.c_str(), 0644);
    }
}

// A real kill -9 at a random moment of a stream of edits: the table reads
// as a whole table (every record of one of the states), and its records
// are each an edit's whole value.
TEST(DbfEdit, KilledWhileEditingTheTableStaysWhole) {
    TTempFolder dir;
    std::string path = MakePeople(dir);
    for (int round = 0; round < 4; ++round) {
        ASSERT_TRUE(KilledWhileWriting(
            [&](const std::function<void()>& ready) {
                TOpenTable c(path);
                ready();
                for (int i = 0;; ++i) {
                    const std::string v(10, static_cast<char>('a' + i % 26));
                    c.Driver.Post(i % 3, {Text(v), Int(i % 1000), Text(v + " memo")});
                    if (i % 5 == 0) c.Driver.Post(-1, {Text(v), Int(1), Null()});
                }
            },
            20000 + round * 17000));
        TOpenTable t(path);
        EXPECT_FALSE(std::filesystem::exists(path + "-journal"));
        for (uint32_t r = 0; r < t.Driver.RecordCount(); ++r) {
            const std::string name = t.Get(r, 0).Text;
            ASSERT_FALSE(name.empty());
            if (r < 3 && name.size() == 10) {
                // An edited record: name and memo of one edit.
                EXPECT_EQ(name, std::string(10, name[0]));
                EXPECT_EQ(t.Get(r, 2).Text, name + " memo");
            }
        }
    }
}

// Two processes editing one table in place: each edit lands, and the other
// sees it after a refresh; an edit from a stale view is refused, not lost.
TEST(DbfEdit, TwoProcessesShareTheTable) {
    TTempFolder dir;
    std::string path = MakePeople(dir);
    TOpenTable mine(path);
    ASSERT_TRUE(InAnotherProcess([&] {
        TOpenTable other(path);
        other.Driver.Post(2, {Text("Other"), Int(30), Text("from the other")});
        other.Driver.Post(-1, {Text("New"), Int(40), Null()});
    }));
    // Our view is stale: no edit goes over the other's.
    std::string err = ErrorOf([&] { mine.Driver.Post(2, {Text("Mine"), Int(1), Null()}); });
    EXPECT_NE(err.find("changed by another program"), std::string::npos) << err;
    mine.Driver.Refresh();
    EXPECT_EQ(mine.Driver.RecordCount(), 4u);
    EXPECT_EQ(mine.Get(2, 0).Text, "Other");
    EXPECT_EQ(mine.Get(2, 2).Text, "from the other");
    EXPECT_EQ(mine.Get(3, 0).Text, "New");
    mine.Driver.Post(0, {Text("Mine"), Int(1), Text("first")});
    TOpenTable again(path);
    EXPECT_EQ(again.Get(0, 0).Text, "Mine");
    EXPECT_EQ(again.Get(2, 0).Text, "Other");
}

// A journal left by a writer that died is put back by a refresh too,
// before the table is read again.
TEST(DbfEdit, ARefreshRollsBackAnotherWritersJournal) {
    TTempFolder dir;
    std::string path = MakePeople(dir);
    const std::string oldBytes = ReadBytes(path), oldMemo = ReadBytes(MemoOf(path));
    TOpenTable mine(path);
    const int steps = StepsOnACopy<TOpenTable>(People, EditOps()[0].Run);
    // Dying at the first sync after the table and memo were written.
    ExpectARefreshPutsBack(mine, path, steps - 2, EditOps()[0].Run);
    EXPECT_EQ(mine.Get(1, 0).Text, "Bob");
    EXPECT_EQ(ReadBytes(path), oldBytes);
    EXPECT_EQ(ReadBytes(MemoOf(path)), oldMemo);
}

// Two processes adding one to the same record at once never lose an
// update: each refreshes when the other changed the table and tries again.
TEST(DbfEdit, TwoProcessesNeverLoseAnUpdate) {
    TTempFolder dir;
    const std::string path = MakePeople(dir);
    constexpr int Each = 25;
    const auto adder = [&] {
        // The open, too, may meet the other's edit half done: it is tried again.
        std::optional<TOpenTable> opened;
        bool refresh = false;
        for (int done = 0; done < Each;) {
            try {
                if (!opened) opened.emplace(path);
                TOpenTable& t = *opened;
                if (refresh) {
                    t.Driver.Refresh();
                    refresh = false;
                }
                const int64_t n = t.Get(1, 1).Int;
                t.Driver.Post(1, {Text("Bob"), Int(n + 1), Null()});
                ++done;
            } catch (const EDatabaseError& e) {
                // The other's edit shows as a stale view, a lock held or,
                // when it landed during our read, a changed table.
                const std::string what = e.what();
                if (what.find("refresh it") == std::string::npos &&
                    what.find("in use by another program") == std::string::npos &&
                    what.find("changed while it was read") == std::string::npos)
                    throw;
                refresh = true;
            }
        }
    };
    ASSERT_TRUE(InOtherProcesses(2, adder));
    EXPECT_EQ(TOpenTable(path).Get(1, 1).Int, 2 + 2 * Each);
}

TEST(DbfEdit, AFailingWriterLeavesNoTable) {
    TTempFolder dir;
    std::string path = dir / "new.dbf";
    TAtomicFile::InjectFailureAfter(700);
    std::string err = ErrorOf([&] {
        TDbfWriter::Write(path, dvDBase3, {F("NAME", 'C', 100), F("M", 'M')},
                          std::vector<std::vector<TValue>>(20, {Text("x"), Text("memo")}));
    });
    TAtomicFile::InjectFailureAfter(-1);
    EXPECT_FALSE(err.empty());
    EXPECT_EQ(FilesIn(dir), 0u);
}

TEST(DbfEdit, ATableInUseElsewhereIsNotWritten) {
    TTempFolder dir;
    std::string path = MakePeople(dir);
    std::string before = ReadBytes(path);
    TOpenTable t(path);
    {
        // Another program reading the table holds a shared lock.
        int fd = ::open(path.c_str(), O_RDONLY);
        struct flock fl;
        std::memset(&fl, 0, sizeof fl);
        fl.l_type = F_RDLCK;
        fl.l_whence = SEEK_SET;
        ASSERT_EQ(fcntl(fd, F_OFD_SETLK, &fl), 0);
        std::string err = ErrorOf([&] { t.Driver.Post(0, {Text("X"), Int(1), Text("first")}); });
        EXPECT_NE(err.find("in use by another program"), std::string::npos) << err;
        EXPECT_NE(ErrorOf([&] { t.Driver.Delete(0); }).find("in use"), std::string::npos);
        ::close(fd);
    }
    {
        WriteBytes(dir / ".~lock.people.dbf#", "someone");
        EXPECT_NE(ErrorOf([&] { t.Driver.Delete(0); }).find("open in another program"),
                  std::string::npos);
        std::filesystem::remove(dir / ".~lock.people.dbf#");
    }
    EXPECT_EQ(ReadBytes(path), before);
    t.Driver.Delete(0); // free again
    EXPECT_FALSE(t.Driver.RecordLive(0));
}

TEST(DbfEdit, AChangeByAnotherProgramIsNotOverwritten) {
    TTempFolder dir;
    std::string path = MakePeople(dir);
    TOpenTable t(path);
    // Another program appends a record.
    std::string bytes = ReadBytes(path);
    const TDbfHeader& h = t.Driver.Header();
    std::string rec = bytes.substr(h.RecordOffset(0), h.RecordLength);
    bytes.insert(h.RecordOffset(3), rec);
    bytes[4] = 4;
    WriteBytes(path, bytes);
    std::string err = ErrorOf([&] { t.Driver.Post(0, {Text("X"), Int(1), Text("first")}); });
    EXPECT_NE(err.find("changed by another program"), std::string::npos) << err;
    EXPECT_EQ(ReadBytes(path), bytes);
    t.Driver.Refresh();
    EXPECT_EQ(t.Driver.RecordCount(), 4u);
    t.Driver.Post(3, {Text("Copy"), Int(4), Null()});
    EXPECT_EQ(TOpenTable(path).Get(3, 0).Text, "Copy");
    // A new structure needs a new open.
    TDbfWriter::Write(path, dvDBase3, {F("OTHER", 'N', 3)}, {});
    EXPECT_NE(ErrorOf([&] { t.Driver.Refresh(); }).find("structure"), std::string::npos);
}

TEST(DbfEdit, ReadOnlyTablesSayWhy) {
    TTempFolder dir;
    std::string path = MakePeople(dir);
    {
        std::string bytes = ReadBytes(path);
        bytes[0] = static_cast<char>(0xCB); // a dBase IV SQL table
        WriteBytes(dir / "sql.dbf", bytes);
        std::filesystem::copy_file(MemoOf(path), dir / "sql.dbt");
        TOpenTable t(dir / "sql.dbf");
        EXPECT_FALSE(t.Driver.CanModify());
        EXPECT_EQ(t.Get(0, 2).Text, "first");
        std::string err = ErrorOf([&] { t.Driver.Delete(0); });
        EXPECT_NE(err.find("0xCB"), std::string::npos) << err;
        EXPECT_NE(err.find("sql.dbf"), std::string::npos) << err;
    }
    if (geteuid() != 0) { // permissions do not bind the super-user
        chmod(path.c_str(), 0444);
        TOpenTable t(path);
        EXPECT_FALSE(t.Driver.CanModify());
        EXPECT_EQ(t.Driver.ReadOnlyReason(), "the file is read-only");
        chmod(path.c_str(), 0644);
    }
    TDbfTestDataSet ds(path);
    ds.Open();
    EXPECT_TRUE(ds.CanModify());
}

TEST(DbfEdit, AMemoHeaderPointingFarBeyondItsEndIsNotFollowed) {
    TTempFolder dir;
    std::string path = MakePeople(dir);
    std::string dbt = ReadBytes(MemoOf(path));
    dbt[3] = 0x0C; // next free block 0x0C000000: 100 GB behind the end
    WriteBytes(MemoOf(path), dbt);
    TOpenTable t(path);
    t.Driver.Post(1, {Text("Bob"), Int(2), Text("now with a memo")});
    EXPECT_EQ(ReadBytes(MemoOf(path)).size(), dbt.size() + 512);
    EXPECT_EQ(t.Get(1, 2).Text, "now with a memo");
}

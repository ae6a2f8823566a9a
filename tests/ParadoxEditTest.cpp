#include "tests/support/EditCrashHarness.h"
#include "tests/support/PxlibReader.h"
#include "tests/support/TableFileTestSupport.h"

#include "data/base/DatabaseError.h"
#include "data/drivers/paradox/ParadoxDriver.h"
#include "data/drivers/paradox/ParadoxWriter.h"

#include <algorithm>
#include <fcntl.h>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sys/stat.h>

using namespace edittest;

namespace {
using TPxTable = TOpenDriver<TParadoxDriver>;

TValue Int(int64_t v) {
    return TValue::OfInt(v);
}
TValue Txt(std::string_view s) {
    return TValue::OfText(s);
}

constexpr size_t Header = 2048;    // the generator's header size
constexpr size_t BlockSize = 2048; // and its blocks for these tables
size_t BlockAt(uint32_t number) {
    return Header + (number - 1) * BlockSize;
}

uint32_t U16(const std::string& s, size_t at) {
    return static_cast<uint8_t>(s[at]) | static_cast<uint32_t>(static_cast<uint8_t>(s[at + 1]))
                                             << 8;
}
uint32_t U32(const std::string& s, size_t at) {
    return U16(s, at) | U16(s, at + 2) << 16;
}

// ID I, Name A40, Note M4 (a memo past four bytes goes to the .mb): 58-byte
// records, 35 to a 2 KB block (pxlib's smallest for them). Records i = 0..count-1 have ID 10 * i +
// 10, name "n<i>" and note "note of n<i>" (a blob).
std::string MakeTable(const TTempFolder& dir, int count, bool keyed,
                      const std::string& name = "t.db") {
    const std::string path = dir / name;
    TParadoxWriter w(path, {{"ID", 'I'}, {"Name", 'A', 40}, {"Note", 'M', 4}}, keyed ? 1 : 0, 1252);
    w.SetBlockSizeCode(1);
    w.SetPxlibRecords(false);
    for (int i = 0; i < count; ++i) {
        const std::string n = "n" + std::to_string(i);
        w.AddRecord({Int(10 * i + 10), Txt(n), Txt("note of " + n)});
    }
    w.Finish();
    return path;
}

// The live records of an open table, slot by slot: "ID name note;".
std::string Reading(TPxTable& t) {
    std::string out;
    for (uint32_t r = 0; r < t.Driver.RecordCount(); ++r) {
        if (!t.Driver.RecordLive(r)) continue;
        out += std::to_string(t.Get(r, 0).Int) + " " + t.Text(r, 1) + " " + t.Text(r, 2) + ";";
    }
    return out;
}
// The records as a new open reads them, in file order.
std::string Reading(const std::string& path) {
    TPxTable t(path);
    return Reading(t);
}

// pxlib reads the same IDs and names in the same order, and for a keyed
// table builds the same primary index as ours.
void ExpectPxlibAgrees(const TTempFolder& dir, const std::string& path, bool keyed) {
    TPxTable t(path);
    const std::vector<TPxlibRecord> theirs = ReadWithPxlib(path);
    ASSERT_EQ(theirs.size(), t.Driver.RecordCount());
    for (uint32_t r = 0; r < t.Driver.RecordCount(); ++r) {
        EXPECT_EQ(theirs[r].Texts[0], std::to_string(t.Get(r, 0).Int)) << r;
        EXPECT_EQ(theirs[r].Texts[1], t.Text(r, 1)) << r;
    }
    if (!keyed) return;
    const std::string ours = FileBytes(path.substr(0, path.size() - 2) + "px");
    const std::string pxlib = PxlibPrimaryIndexOfId(path, dir / "pxlib.px");
    ASSERT_FALSE(pxlib.empty());
    ExpectSameIndex(ours, pxlib, BlockSize);
    std::filesystem::remove(dir / "pxlib.px");
}

// The bytes where two files differ, as [first, last] ranges.
std::vector<std::pair<size_t, size_t>> Differences(const std::string& a, const std::string& b) {
    std::vector<std::pair<size_t, size_t>> out;
    for (size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
        const bool same = i < a.size() && i < b.size() && a[i] == b[i];
        if (same) continue;
        if (!out.empty() && out.back().second + 1 == i)
            out.back().second = i;
        else
            out.push_back({i, i});
    }
    return out;
}

} // namespace

// Unkeyed: an edit writes its record's bytes and the header's fixed part;
// an insert fills the last block, then starts a new one behind it; a
// delete closes the gap in its block; an emptied block stays in the chain.
TEST(ParadoxEdit, WritesStayInTheirBlockAndTheHeader) {
    TTempFolder dir;
    const std::string path = MakeTable(dir, 60, false); // blocks of 35 and 25
    const std::string mbBefore = FileBytes(dir / "t.mb");
    std::string before = FileBytes(path);
    ASSERT_EQ(static_cast<uint8_t>(before[5]) * 1024u, BlockSize);
    ASSERT_EQ(before.size(), Header + 2 * BlockSize);
    TPxTable t(path);
    ASSERT_TRUE(t.Driver.CanModify()) << t.Driver.ReadOnlyReason();

    t.Driver.Post(40, {Int(410), Txt("edited"), Txt("note of n40")});
    std::string after = FileBytes(path);
    ASSERT_EQ(after.size(), before.size());
    const size_t rec40 = BlockAt(2) + 6 + 5 * 58;
    for (auto [first, last] : Differences(before, after)) {
        const bool inHeader = last < 0x78;
        const bool inRecord = first >= rec40 + 4 && last < rec40 + 44;
        EXPECT_TRUE(inHeader || inRecord) << first << ".." << last;
    }
    EXPECT_EQ(static_cast<uint8_t>(after[0x2D]), static_cast<uint8_t>(before[0x2D] + 1));
    EXPECT_EQ(U16(after, 0x70), U16(before, 0x70) + 1);
    EXPECT_NE(U32(after, 0x60), 0u);              // the time of the change
    EXPECT_EQ(FileBytes(dir / "t.mb"), mbBefore); // an unchanged memo is not written again

    // Ten inserts fill the last block; the eleventh starts block 3.
    before = after;
    for (int i = 0; i < 10; ++i)
        t.Driver.Post(-1, {Int(1000 + i), Txt("added"), TValue()});
    after = FileBytes(path);
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(U32(after, 0x06), 70u);
    EXPECT_EQ(U16(after, BlockAt(2) + 4), 34u * 58);
    for (auto [first, last] : Differences(before, after))
        EXPECT_TRUE(last < 0x78 || first >= BlockAt(2)) << first;
    t.Driver.Post(-1, {Int(2000), Txt("in block 3"), Txt("a note past its leader")});
    after = FileBytes(path);
    ASSERT_EQ(after.size(), Header + 3 * BlockSize);
    for (size_t at : {0x0Au, 0x0Cu, 0x10u, 0x3Au})
        EXPECT_EQ(U16(after, at), 3u) << at;
    EXPECT_EQ(U16(after, BlockAt(2)), 3u);     // block 2 leads to 3
    EXPECT_EQ(U16(after, BlockAt(3)), 0u);     // which ends the chain
    EXPECT_EQ(U16(after, BlockAt(3) + 2), 2u); // and comes after 2
    EXPECT_EQ(U16(after, BlockAt(3) + 4), 0u); // holding one record
    EXPECT_EQ(t.Text(70, 1), "in block 3");
    EXPECT_EQ(t.Text(70, 2), "a note past its leader");

    // A delete in the middle of block 1 moves its later records up.
    t.Driver.Delete(20);
    EXPECT_FALSE(t.Driver.RecordLive(20));
    EXPECT_EQ(t.Text(21, 1), "n21");
    EXPECT_EQ(t.Text(41, 1), "n41");
    after = FileBytes(path);
    EXPECT_EQ(U16(after, BlockAt(1) + 4), 33u * 58);
    EXPECT_EQ(after.substr(BlockAt(1) + 6 + 20 * 58 + 4, 3), "n21");
    // Block 1 emptied: out of the chain, which starts at block 2 now, and
    // left in the file unused.
    for (uint32_t r = 0; r < 35; ++r)
        if (r != 20) t.Driver.Delete(r);
    after = FileBytes(path);
    EXPECT_EQ(after.size(), Header + 3 * BlockSize);
    EXPECT_EQ(U16(after, 0x0E), 2u);
    EXPECT_EQ(U16(after, BlockAt(2) + 2), 0u);
    EXPECT_EQ(U16(after, BlockAt(1)), 0u);
    EXPECT_EQ(static_cast<int16_t>(U16(after, BlockAt(1) + 4)), -58);
    EXPECT_EQ(U16(after, 0x0C), 3u);
    EXPECT_EQ(U32(after, 0x06), 36u);
    EXPECT_EQ(Reading(t), Reading(path));
    ExpectPxlibAgrees(dir, path, false);
    TPxTable again(path);
    EXPECT_EQ(again.Driver.RecordCount(), 36u);
    EXPECT_EQ(again.Text(0, 1), "n35");
    EXPECT_EQ(again.Text(5, 1), "edited");
    EXPECT_EQ(again.Text(35, 1), "in block 3");
}

// A table emptied and filled again, and one that starts with no block.
TEST(ParadoxEdit, EmptyTablesTakeRecordsInPlace) {
    TTempFolder dir;
    const std::string path = MakeTable(dir, 3, true);
    {
        TPxTable t(path);
        for (uint32_t r = 0; r < 3; ++r)
            t.Driver.Delete(r);
        EXPECT_EQ(Reading(path), "");
        const std::string empty = FileBytes(path);
        EXPECT_EQ(U16(empty, 0x0E), 0u); // no chain
        EXPECT_EQ(U16(empty, 0x10), 0u);
        EXPECT_EQ(ReadWithPxlib(path).size(), 0u);
        t.Driver.Post(-1, {Int(7), Txt("back"), Txt("in a new block")});
    }
    EXPECT_EQ(Reading(path), "7 back in a new block;");
    const std::string again = FileBytes(path);
    EXPECT_EQ(again.size(), Header + 2 * BlockSize); // the emptied block is not taken again
    EXPECT_EQ(U16(again, 0x0E), 2u);
    EXPECT_EQ(U16(again, 0x10), 2u);
    ExpectPxlibAgrees(dir, path, false);
    // The index: one entry, leading to block 2 (numbers as record data:
    // big-endian, sign bit flipped).
    const std::string px = FileBytes(dir / "t.px");
    EXPECT_EQ(U32(px, 0x06), 1u);
    EXPECT_EQ(px.substr(0x800 + 6 + 4, 4), std::string("\x80\x02\x80\x01", 4));

    const std::string none = MakeTable(dir, 0, true, "none.db");
    {
        TPxTable t(none);
        t.Driver.Post(-1, {Int(2), Txt("two"), TValue()});
        t.Driver.Post(-1, {Int(1), Txt("one"), TValue()});
        EXPECT_EQ(Reading(t), "2 two ;1 one ;"); // slots keep their numbers
    }
    EXPECT_EQ(Reading(none), "1 one ;2 two ;"); // the file keeps key order
    const std::string bytes = FileBytes(none);
    EXPECT_EQ(U16(bytes, 0x0C), 1u);
    EXPECT_EQ(U16(bytes, 0x0E), 1u);
    EXPECT_EQ(U16(bytes, 0x10), 1u);
    ExpectPxlibAgrees(dir, none, true);
}

// Random inserts, deletes, edits and key changes on keyed and unkeyed
// tables against a model: the open table's slots, a new open's file order,
// pxlib's reading and pxlib's own primary index all agree after each round.
TEST(ParadoxEdit, RandomEditsMatchAModel) {
    for (bool keyed : {true, false}) {
        SCOPED_TRACE(keyed ? "keyed" : "unkeyed");
        TTempFolder dir;
        const std::string path = MakeTable(dir, 40, keyed);
        // slot -> (id, name), live or not
        struct TSlot {
            int64_t Id;
            std::string Name;
            bool Live;
        };
        std::vector<TSlot> model;
        for (int i = 0; i < 40; ++i)
            model.push_back({10 * i + 10, "n" + std::to_string(i), true});
        std::mt19937 random(keyed ? 17 : 4);
        TPxTable t(path);
        std::set<int64_t> ids;
        for (const TSlot& s : model)
            ids.insert(s.Id);
        auto freshId = [&] {
            int64_t id;
            do
                id = static_cast<int64_t>(random() % 5000);
            while (ids.count(id));
            return id;
        };
        auto liveSlot = [&] {
            uint32_t s;
            do
                s = static_cast<uint32_t>(random() % model.size());
            while (!model[s].Live);
            return s;
        };
        for (int round = 0; round < 8; ++round) {
            for (int op = 0; op < 40; ++op) {
                const unsigned what = random() % 10;
                const size_t live = static_cast<size_t>(std::count_if(
                    model.begin(), model.end(), [](const TSlot& s) { return s.Live; }));
                if (what < 5 || live < 5) {
                    const int64_t id = freshId();
                    const std::string name = "i" + std::to_string(id);
                    ASSERT_EQ(t.Driver.Post(-1, {Int(id), Txt(name), Txt(name + " note")}),
                              model.size());
                    model.push_back({id, name, true});
                    ids.insert(id);
                } else if (what < 7) {
                    const uint32_t s = liveSlot();
                    t.Driver.Delete(s);
                    model[s].Live = false;
                    ids.erase(model[s].Id);
                } else {
                    // An edit: a new name, and every other time a new key.
                    const uint32_t s = liveSlot();
                    const int64_t id = what == 9 ? freshId() : model[s].Id;
                    const std::string name = "e" + std::to_string(id);
                    t.Driver.Post(s, {Int(id), Txt(name), Txt(name + " note")});
                    ids.erase(model[s].Id);
                    ids.insert(id);
                    model[s] = {id, name, true};
                }
            }
            for (uint32_t s = 0; s < model.size(); ++s) {
                ASSERT_EQ(t.Driver.RecordLive(s), model[s].Live) << s;
                if (!model[s].Live) continue;
                ASSERT_EQ(t.Get(s, 0).Int, model[s].Id) << s;
                ASSERT_EQ(t.Text(s, 1), model[s].Name) << s;
            }
            // A new open reads the file: key order, or the order of the
            // slots for a table without a key (new records at the end).
            std::vector<TSlot> order;
            for (const TSlot& s : model)
                if (s.Live) order.push_back(s);
            if (keyed)
                std::sort(order.begin(), order.end(),
                          [](const TSlot& a, const TSlot& b) { return a.Id < b.Id; });
            TPxTable fresh(path);
            ASSERT_EQ(fresh.Driver.RecordCount(), order.size());
            for (uint32_t r = 0; r < order.size(); ++r) {
                ASSERT_EQ(fresh.Get(r, 0).Int, order[r].Id) << r;
                ASSERT_EQ(fresh.Text(r, 2), order[r].Name.substr(0, 1) == "n"
                                                ? "note of " + order[r].Name
                                                : order[r].Name + " note")
                    << r;
            }
            ExpectPxlibAgrees(dir, path, keyed);
        }
    }
}

namespace {
struct TPxOp {
    const char* Name;
    std::function<void(TParadoxDriver&)> Run;
};
std::string Seventy(const TTempFolder& dir) {
    return MakeTable(dir, 70, true);
}
// On Seventy(dir): blocks 1 and 2 are full.
const std::vector<TPxOp>& PxOps() {
    static const std::vector<TPxOp> ops = {
        {"edit with a new memo",
         [](TParadoxDriver& d) {
             d.Post(3, {Int(40), Txt("edited"), Txt(std::string(3000, 'm'))});
         }},
        {"insert that splits a block",
         [](TParadoxDriver& d) {
             d.Post(-1, {Int(55), Txt("split"), Txt("memo of a new record")});
         }},
        {"key change",
         [](TParadoxDriver& d) {
             d.Post(1, {Int(1000), Txt("moved"), TValue()});
         }},
        {"delete", [](TParadoxDriver& d) { d.Delete(20); }},
    };
    return ops;
}
} // namespace

// A write that fails at any of its writes and syncs leaves every file byte
// for byte as it was, no journal behind, and the open table as it read.
TEST(ParadoxEdit, InjectedFailuresLeaveEveryFileAsItWas) {
    TTempFolder dir;
    const std::string path = MakeTable(dir, 70, true);
    const std::map<std::string, std::string> before = Snapshot(dir);
    TPxTable t(path);
    const std::string reading = Reading(t);
    for (const TPxOp& op : PxOps()) {
        const int steps = StepsOnACopy<TPxTable>(Seventy, op.Run);
        EXPECT_GE(steps, 7) << op.Name; // three files in most
        // The last step removes the journal: the change stands.
        for (int step = 1; step < steps; ++step) {
            SCOPED_TRACE(std::string(op.Name) + " failing at step " + std::to_string(step));
            const std::string err = FailingAt(step, [&] { op.Run(t.Driver); });
            EXPECT_NE(err.find(path), std::string::npos) << err;
            EXPECT_NE(err.find("injected"), std::string::npos) << err;
            EXPECT_TRUE(Snapshot(dir) == before);
            EXPECT_EQ(Reading(t), reading);
        }
    }
    for (const TPxOp& op : PxOps())
        op.Run(t.Driver);
    EXPECT_EQ(t.Text(3, 2), std::string(3000, 'm'));
    EXPECT_EQ(t.Text(70, 1), "split");
    EXPECT_EQ(t.Get(1, 0).Int, 1000);
    EXPECT_FALSE(t.Driver.RecordLive(20));
    TPxTable after(path);
    EXPECT_TRUE(after.Driver.Warnings().List().empty());
    EXPECT_EQ(after.Driver.RecordCount(), 70u);
    ExpectPxlibAgrees(dir, path, true);
}

// A writer that dies at any write or sync leaves files that open as the old
// table or the new one (a journal left behind is rolled back, and the open
// says so), never a mixture; with the journal there, the old bytes exactly.
TEST(ParadoxEdit, AWriterDyingAtAnyStepLeavesTheOldOrTheNewTable) {
    for (const TPxOp& op : PxOps()) {
        TTempFolder dir;
        const std::string path = MakeTable(dir, 70, true);
        const std::map<std::string, std::string> old = Snapshot(dir);
        const std::string oldReading = Reading(path);
        std::string newReading;
        const int steps = StepsOnACopy<TPxTable>(
            Seventy, op.Run, [&](const std::string& copy) { newReading = Reading(copy); });
        ASSERT_NE(newReading, oldReading);
        for (int step = 1; step <= steps; ++step) {
            SCOPED_TRACE(std::string(op.Name) + " dying at step " + std::to_string(step));
            Restore(dir, old);
            ASSERT_TRUE(DiesAtStep(step, [&] {
                TPxTable c(path);
                op.Run(c.Driver);
            }));
            const bool journalLeft = std::filesystem::exists(path + "-journal");
            TPxTable t(path);
            ExpectOldOrNew(path, step, journalLeft, t.Driver.Warnings().List(), Reading(t),
                           oldReading, newReading);
            if (journalLeft) {
                EXPECT_TRUE(Snapshot(dir) == old);
            } else {
                ExpectPxlibAgrees(dir, path, true);
            }
        }
    }
}

// A real kill -9 at moments of a stream of edits: the table opens (its
// chain whole), keys in order, every record one edit's whole value with its
// memo, and the primary index the one its blocks need.
TEST(ParadoxEdit, KilledWhileEditingTheTableStaysWhole) {
    TTempFolder dir;
    const std::string path = MakeTable(dir, 30, true);
    for (int round = 0; round < 4; ++round) {
        ASSERT_TRUE(KilledWhileWriting(
            [&](const std::function<void()>& ready) {
                TPxTable c(path);
                ready();
                for (int i = 0;; ++i) {
                    const std::string v(12, static_cast<char>('a' + i % 26));
                    const uint32_t count = c.Driver.RecordCount();
                    uint32_t r = static_cast<uint32_t>(i * 7) % count;
                    while (!c.Driver.RecordLive(r))
                        r = (r + 1) % count;
                    c.Driver.Post(r, {c.Get(r, 0), Txt(v), Txt(v + " memo")});
                    if (i % 3 == 0)
                        c.Driver.Post(-1,
                                      {Int(100000 + round * 10000 + i), Txt(v), Txt(v + " memo")});
                    if (i % 4 == 0) c.Driver.Delete(r);
                }
            },
            20000 + round * 23000));
        TPxTable t(path);
        EXPECT_FALSE(std::filesystem::exists(path + "-journal"));
        int64_t last = -1;
        for (uint32_t r = 0; r < t.Driver.RecordCount(); ++r) {
            const int64_t id = t.Get(r, 0).Int;
            EXPECT_GT(id, last);
            last = id;
            const std::string name = t.Text(r, 1);
            if (name.size() == 12) {
                EXPECT_EQ(name, std::string(12, name[0]));
                EXPECT_EQ(t.Text(r, 2), name + " memo");
            }
        }
        ExpectPxlibAgrees(dir, path, true);
    }
}

// Two processes adding one to the same record in turns never lose an
// update: each refreshes when the other changed the table and tries again;
// a third that kept the table open sees the sum after a refresh.
TEST(ParadoxEdit, TwoProcessesNeverLoseAnUpdate) {
    TTempFolder dir;
    const std::string path = MakeTable(dir, 20, true);
    TPxTable mine(path);
    constexpr int Each = 25;
    const auto adder = [&] {
        // The open, too, may meet the other's edit half done: it is tried again.
        std::optional<TPxTable> opened;
        bool refresh = false;
        for (int done = 0; done < Each;) {
            try {
                if (!opened) opened.emplace(path);
                TPxTable& t = *opened;
                if (refresh) {
                    t.Driver.Refresh();
                    refresh = false;
                }
                const std::string name = t.Text(5, 1);
                const int n = name.rfind("count ", 0) == 0 ? std::stoi(name.substr(6)) : 0;
                t.Driver.Post(5, {t.Get(5, 0), Txt("count " + std::to_string(n + 1)), TValue()});
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
    // Our view is stale: an edit from it is refused, not written over theirs.
    const std::string err = RaisedMessage([&] {
        mine.Driver.Post(5, {Int(60), Txt("stale"), TValue()});
    });
    EXPECT_NE(err.find("changed by another program"), std::string::npos) << err;
    mine.Driver.Refresh();
    EXPECT_EQ(mine.Text(5, 1), "count " + std::to_string(2 * Each));
    ASSERT_TRUE(InAnotherProcess([&] {
        TPxTable other(path);
        other.Driver.Post(-1, {Int(5), Txt("from the other"), Txt("its memo")});
    }));
    mine.Driver.Refresh();
    EXPECT_EQ(mine.Text(0, 1), "from the other");
    EXPECT_EQ(mine.Text(0, 2), "its memo");
    ExpectPxlibAgrees(dir, path, true);
}

// A journal left by a crash is put back by a refresh as well as by an open.
TEST(ParadoxEdit, ARefreshRollsBackAnotherWritersJournal) {
    TTempFolder dir;
    const std::string path = MakeTable(dir, 70, true);
    const std::map<std::string, std::string> old = Snapshot(dir);
    TPxTable mine(path);
    const std::string reading = Reading(mine);
    // Dying after the table's blocks were written, before they were synced.
    const int steps = StepsOnACopy<TPxTable>(Seventy, PxOps()[1].Run);
    ExpectARefreshPutsBack(mine, path, steps - 3, PxOps()[1].Run);
    EXPECT_EQ(Reading(mine), reading);
    EXPECT_TRUE(Snapshot(dir) == old);
}

// Another program's edit within one tick of the file system's clock leaves
// the file's size and time as they were; its change counter in the header
// still shows it, and the edit from the stale view is refused.
TEST(ParadoxEdit, AChangeWithinOneClockTickIsSeenInTheHeader) {
    TTempFolder dir;
    const std::string path = MakeTable(dir, 20, true);
    TPxTable mine(path);
    struct stat before {};
    ASSERT_EQ(stat(path.c_str(), &before), 0);
    {
        TPxTable other(path);
        other.Driver.Post(4, {Int(50), Txt("theirs"), Txt("note of n4")});
    }
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    const std::string theirs = FileBytes(path);
    const std::string err = RaisedMessage([&] {
        mine.Driver.Post(4, {Int(50), Txt("mine"), Txt("note of n4")});
    });
    EXPECT_NE(err.find("changed by another program"), std::string::npos) << err;
    EXPECT_EQ(FileBytes(path), theirs);
    mine.Driver.Refresh();
    EXPECT_EQ(mine.Text(4, 1), "theirs");
}

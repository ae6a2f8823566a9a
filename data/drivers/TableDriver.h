#pragma once

#include "data/base/FieldDefs.h"
#include "data/base/TableWarnings.h"
#include "data/base/Value.h"

struct TAheadCell;

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// One table file format (dBase, Paradox, delimited text) behind the two
// engines. A driver reads the file it opened and writes changes back; the
// engines put cursor, order, filter and editing on top. Records are numbered
// 0..RecordCount()-1 and keep their numbers while the table is open.
class TTableDriver {
public:
    virtual ~TTableDriver() = default;

    // "dBase", "Paradox", "Text".
    virtual std::string FormatName() const = 0;

    // Opens the file and describes it. Raises EDatabaseError naming the file
    // and what is wrong with it; nothing is changed on disk.
    virtual void Open(const std::string& path, TFieldDefs& fields, TIndexDefs& indexes) = 0;
    virtual void Close() = 0;

    virtual uint32_t RecordCount() const = 0; // deleted records included
    virtual bool RecordLive(uint32_t rec) const {
        (void)rec;
        return true;
    }
    virtual bool AllLive() const { return true; }
    // Appends the live records' numbers in order.
    virtual void AppendLive(std::vector<uint32_t>& order) const {
        for (uint32_t r = 0, n = RecordCount(); r < n; ++r)
            if (RecordLive(r)) order.push_back(r);
    }
    // Decodes one value of one record; the record is read only now.
    virtual void GetValue(uint32_t rec, int fieldNo, TValue& out) = 0;
    // Whether a value is null. A driver that can tell without reading the
    // whole value (a memo by its block number) says so here; `scratch` is
    // for the others.
    virtual bool IsNull(uint32_t rec, int fieldNo, TValue& scratch) {
        GetValue(rec, fieldNo, scratch);
        return scratch.IsNull();
    }
    // What a memo or blob value reads as when it cannot be read (its file is
    // missing or damaged); a warning says why.
    static constexpr std::string_view UnavailableText = "(unavailable)";
    // Whether GetValueConcurrently may be called for the field from another
    // thread beside GetValue (no change to the table meanwhile).
    virtual bool ReadsConcurrently(int fieldNo) const {
        (void)fieldNo;
        return false;
    }
    virtual void GetValueConcurrently(uint32_t rec, int fieldNo, TValue& out) const;
    // Likewise, for a number the file writes as plain digits, or a date as
    // YYYYMMDD: those digits (a display can be made from them without the
    // value); false otherwise.
    virtual bool GetDigitsConcurrently(uint32_t rec, int fieldNo, std::string_view& digits) const {
        (void)rec;
        (void)fieldNo;
        (void)digits;
        return false;
    }
    // Likewise, one record in one call: its cells shown as their plans say
    // (TAheadCell), one after another with `joiner` between them, onto the
    // end of `texts`. False when a cell needs its field to be shown, or the
    // driver reads cell by cell (the calls above): the caller then cuts
    // `texts` back and asks cell by cell. Raises as GetValue does.
    virtual bool ReadCellsConcurrently(uint32_t rec, TAheadCell* cells, size_t count,
                                       std::string_view joiner, std::string& texts) const {
        (void)rec;
        (void)cells;
        (void)count;
        (void)joiner;
        (void)texts;
        return false;
    }

    // Writing. A change reaches the file whole or not at all: after a failure
    // at any moment the file holds the old table or the new one. The default
    // is a read-only format.
    virtual bool CanModify() const { return false; }
    // Writes a changed record (rec >= 0) or a new one (rec = -1); returns the
    // record's number.
    virtual uint32_t Post(int64_t rec, const std::vector<TValue>& values);
    virtual void Delete(uint32_t rec);
    // Reads the file again (another program may have changed it).
    virtual void Refresh() {}
    // Raises when the file was found cut short or rewritten by another
    // program since it was read, so that what was read may be wrong; a
    // walk asks when it is done.
    virtual void CheckUnchanged() const {}

    // The files the open table is made of: the table file first, then the
    // side files it reads (memo, blobs, indexes, code page, schema).
    virtual std::vector<std::string> Files() const { return {}; }
    // Whether a file of this name (without folder) beside the table would be
    // read as one of its side files, whether or not it exists now.
    virtual bool IsSideFileName(const std::string& name) const {
        (void)name;
        return false;
    }
    // The file of the open table that writing `path` would change, or ""
    // when none: one of Files() under any name (compared by device and
    // inode), or a side file's name beside the table.
    std::string FileNamedBy(const std::string& path) const;

    // The code page to read and write the table's text in, whatever the
    // table names (the user's choice); 0, the default, lets the table's own
    // marks or else its bytes decide. Takes effect at the next Open.
    void SetForcedCodePage(int codePage) { fForcedCodePage = codePage; }
    int ForcedCodePage() const { return fForcedCodePage; }

    // What the driver noticed about the open table that did not keep it
    // from being read: found when it opened, and while values are read.
    const TTableWarnings& Warnings() const { return fWarnings; }

protected:
    TTableWarnings fWarnings;

private:
    int fForcedCodePage = 0;
};

#pragma once

#include "data/dataset/DataSet.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

// A table held in memory, column by column: for tests, examples and the
// generator of sample tables. Declare the fields in FieldDefs, Open, then
// fill it with AppendRecord (fast, no edit state) or through Insert/Post.
// Every field kind can be stored; values are kept as given.
class TMemTable : public TDataSet {
public:
    TMemTable() = default;
    ~TMemTable() override;
    std::string ClassName() const override { return "TMemTable"; }

    // Adds a record at the end without going through the edit state; values
    // in field order, missing trailing values are null. Raises when a value
    // does not fit its field's kind.
    void AppendRecord(std::initializer_list<TValue> values);
    void AppendRecord(const std::vector<TValue>& values);
    // Physical records, deleted ones included.
    uint32_t PhysicalCount() const { return fCount; }
    void SetReadOnly(bool v) { fReadOnly = v; }
    // Orders by fields (names separated by ';'; a name may be followed by
    // " DESC"); an empty text restores the order of insertion.
    void SetSort(const std::string& fields);

protected:
    void InternalOpen() override;
    void InternalClose() override;
    uint32_t InternalRecordCount() const override { return fCount; }
    bool InternalRecordLive(uint32_t rec) const override;
    bool InternalAllLive() const override { return fDeletedCount == 0; }
    void InternalGetValue(uint32_t rec, int fieldNo, TValue& out) override;
    uint32_t InternalPost(int64_t rec, const std::vector<TValue>& values) override;
    void InternalDelete(uint32_t rec) override;
    bool InternalCanModify() const override { return !fReadOnly; }

private:
    // One field's values; the member used depends on the field's kind.
    struct TColumnStore {
        TValueKind Kind = TValueKind::Null;
        std::vector<int64_t> Ints;
        std::vector<double> Floats;
        std::vector<uint8_t> Bools;
        std::vector<uint64_t> TextRefs; // offset << 24 | length, or an index into Long
        std::string Pool;               // texts one after the other
        std::vector<std::string> Long;  // texts of 16 MiB or more
        std::vector<uint8_t> Nulls;
    };
    void StoreValue(TColumnStore& col, uint32_t rec, const TValue& v, const TFieldDef& def);
    void AppendPhysical(const TValue* values, size_t count);
    static TValueKind KindOf(TFieldType type);

    std::vector<TColumnStore> fColumns;
    std::vector<uint8_t> fDeleted;
    uint32_t fCount = 0;
    uint32_t fDeletedCount = 0;
    bool fReadOnly = false;
    int64_t fNextAutoInc = 1;
};

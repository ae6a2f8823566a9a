#include "data/dataset/MemTable.h"

#include "data/base/DatabaseError.h"

#include <cmath>

namespace {
constexpr uint64_t LongFlag = 1ull << 63;
constexpr uint64_t MaxShortLength = (1ull << 24) - 1;

const char* KindName(TValueKind k) {
    switch (k) {
    case TValueKind::Null:
        return "null";
    case TValueKind::Integer:
        return "integer";
    case TValueKind::Float:
        return "number";
    case TValueKind::Boolean:
        return "boolean";
    case TValueKind::DateTime:
        return "date";
    case TValueKind::Text:
        return "text";
    case TValueKind::Bytes:
        return "bytes";
    }
    return "?";
}
} // namespace

TMemTable::~TMemTable() {
    try {
        Close();
    } catch (...) {
    }
}

TValueKind TMemTable::KindOf(TFieldType type) {
    switch (type) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
    case ftLargeint:
        return TValueKind::Integer;
    case ftFloat:
    case ftCurrency:
    case ftBCD:
        return TValueKind::Float;
    case ftBoolean:
        return TValueKind::Boolean;
    case ftDate:
    case ftTime:
    case ftDateTime:
        return TValueKind::DateTime;
    case ftBytes:
    case ftVarBytes:
    case ftBlob:
    case ftGraphic:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary:
    case ftOraBlob:
        return TValueKind::Bytes;
    default:
        return TValueKind::Text;
    }
}

void TMemTable::InternalOpen() {
    fColumns.assign(static_cast<size_t>(FieldDefs().Count()), TColumnStore());
    for (int i = 0; i < FieldDefs().Count(); ++i)
        fColumns[static_cast<size_t>(i)].Kind = KindOf(FieldDefs()[i].DataType);
    fDeleted.clear();
    fCount = 0;
    fDeletedCount = 0;
    fNextAutoInc = 1;
}

void TMemTable::InternalClose() {
    fColumns.clear();
    fColumns.shrink_to_fit();
    fDeleted.clear();
    fDeleted.shrink_to_fit();
    fCount = 0;
    fDeletedCount = 0;
}

bool TMemTable::InternalRecordLive(uint32_t rec) const {
    return rec < fCount && !fDeleted[rec];
}

void TMemTable::InternalGetValue(uint32_t rec, int fieldNo, TValue& out) {
    const TColumnStore& col = fColumns[static_cast<size_t>(fieldNo)];
    if (rec >= fCount || col.Nulls[rec]) {
        out.SetNull();
        return;
    }
    switch (col.Kind) {
    case TValueKind::Integer:
        out.SetInt(col.Ints[rec]);
        break;
    case TValueKind::Float:
        out.SetFloat(col.Floats[rec]);
        break;
    case TValueKind::DateTime:
        out.SetDateTime(col.Floats[rec]);
        break;
    case TValueKind::Boolean:
        out.SetBool(col.Bools[rec] != 0);
        break;
    case TValueKind::Text:
    case TValueKind::Bytes: {
        uint64_t ref = col.TextRefs[rec];
        std::string_view v;
        if (ref & LongFlag)
            v = col.Long[ref & ~LongFlag];
        else
            v = std::string_view(col.Pool).substr(ref >> 24, ref & MaxShortLength);
        out.Kind = col.Kind;
        out.Text.assign(v.data(), v.size());
        break;
    }
    case TValueKind::Null:
        out.SetNull();
        break;
    }
}

void TMemTable::StoreValue(TColumnStore& col, uint32_t rec, const TValue& v, const TFieldDef& def) {
    bool isNew = rec >= col.Nulls.size();
    if (isNew) {
        col.Nulls.push_back(1);
        switch (col.Kind) {
        case TValueKind::Integer:
            col.Ints.push_back(0);
            break;
        case TValueKind::Float:
        case TValueKind::DateTime:
            col.Floats.push_back(0);
            break;
        case TValueKind::Boolean:
            col.Bools.push_back(0);
            break;
        case TValueKind::Text:
        case TValueKind::Bytes:
            col.TextRefs.push_back(0);
            break;
        case TValueKind::Null:
            break;
        }
    }
    TValue value = v;
    if (value.IsNull() && def.DataType == ftAutoInc && isNew) value.SetInt(fNextAutoInc);
    if (value.IsNull()) {
        col.Nulls[rec] = 1;
        return;
    }
    auto mismatch = [&]() {
        return EDatabaseError("A " + std::string(KindName(value.Kind)) +
                              " value does not fit field '" + def.Name + "'");
    };
    switch (col.Kind) {
    case TValueKind::Integer:
        if (value.Kind == TValueKind::Integer)
            col.Ints[rec] = value.Int;
        else if (value.Kind == TValueKind::Float && std::trunc(value.Float) == value.Float &&
                 std::fabs(value.Float) < 9.2e18)
            col.Ints[rec] = static_cast<int64_t>(value.Float);
        else if (value.Kind == TValueKind::Boolean)
            col.Ints[rec] = value.Bool;
        else
            throw mismatch();
        if (def.DataType == ftAutoInc && col.Ints[rec] >= fNextAutoInc)
            fNextAutoInc = col.Ints[rec] + 1;
        break;
    case TValueKind::Float:
    case TValueKind::DateTime:
        if (value.Kind == TValueKind::Float || value.Kind == TValueKind::DateTime)
            col.Floats[rec] = value.Float;
        else if (value.Kind == TValueKind::Integer)
            col.Floats[rec] = static_cast<double>(value.Int);
        else
            throw mismatch();
        break;
    case TValueKind::Boolean:
        if (value.Kind == TValueKind::Boolean)
            col.Bools[rec] = value.Bool;
        else if (value.Kind == TValueKind::Integer)
            col.Bools[rec] = value.Int != 0;
        else
            throw mismatch();
        break;
    case TValueKind::Text:
    case TValueKind::Bytes: {
        if (value.Kind != TValueKind::Text && value.Kind != TValueKind::Bytes) throw mismatch();
        const std::string& t = value.Text;
        if (t.size() > MaxShortLength || col.Pool.size() >= (1ull << 39)) {
            col.TextRefs[rec] = LongFlag | col.Long.size();
            col.Long.push_back(t);
        } else {
            col.TextRefs[rec] = (static_cast<uint64_t>(col.Pool.size()) << 24) | t.size();
            col.Pool.append(t);
        }
        break;
    }
    case TValueKind::Null:
        break;
    }
    col.Nulls[rec] = 0;
}

void TMemTable::AppendPhysical(const TValue* values, size_t count) {
    CheckActive();
    if (count > fColumns.size())
        throw EDatabaseError("A record of " + std::to_string(count) +
                             " values does not fit a table of " + std::to_string(fColumns.size()) +
                             " fields");
    if (fCount == UINT32_MAX) throw EDatabaseError("The table is full");
    uint32_t rec = fCount;
    static const TValue Null;
    // Check every value before storing any, so a rejected record leaves no trace.
    for (size_t i = 0; i < fColumns.size(); ++i) {
        const TValue& v = i < count ? values[i] : Null;
        if (v.IsNull()) continue;
        TValueKind k = fColumns[i].Kind;
        bool fits = v.Kind == k ||
                    (k == TValueKind::Integer &&
                     (v.Kind == TValueKind::Boolean ||
                      (v.Kind == TValueKind::Float && std::trunc(v.Float) == v.Float &&
                       std::fabs(v.Float) < 9.2e18))) ||
                    ((k == TValueKind::Float || k == TValueKind::DateTime) &&
                     (v.Kind == TValueKind::Integer || v.Kind == TValueKind::Float ||
                      v.Kind == TValueKind::DateTime)) ||
                    (k == TValueKind::Boolean && v.Kind == TValueKind::Integer) ||
                    ((k == TValueKind::Text || k == TValueKind::Bytes) &&
                     (v.Kind == TValueKind::Text || v.Kind == TValueKind::Bytes));
        if (!fits)
            throw EDatabaseError("A " + std::string(KindName(v.Kind)) +
                                 " value does not fit field '" +
                                 FieldDefs()[static_cast<int>(i)].Name + "'");
    }
    for (size_t i = 0; i < fColumns.size(); ++i)
        StoreValue(fColumns[i], rec, i < count ? values[i] : Null,
                   FieldDefs()[static_cast<int>(i)]);
    fDeleted.push_back(0);
    ++fCount;
}

void TMemTable::AppendRecord(std::initializer_list<TValue> values) {
    AppendPhysical(values.begin(), values.size());
    NotifyAppended(fCount - 1);
}

void TMemTable::AppendRecord(const std::vector<TValue>& values) {
    AppendPhysical(values.data(), values.size());
    NotifyAppended(fCount - 1);
}

uint32_t TMemTable::InternalPost(int64_t rec, const std::vector<TValue>& values) {
    if (rec < 0) {
        AppendPhysical(values.data(), values.size());
        return fCount - 1;
    }
    uint32_t r = static_cast<uint32_t>(rec);
    if (r >= fCount || fDeleted[r]) throw EDatabaseError("Record not found");
    // Every value is tried on a scratch store first, so a rejected value
    // leaves the record as it was.
    for (size_t i = 0; i < fColumns.size() && i < values.size(); ++i) {
        TColumnStore scratch;
        scratch.Kind = fColumns[i].Kind;
        StoreValue(scratch, 0, values[i], FieldDefs()[static_cast<int>(i)]);
    }
    for (size_t i = 0; i < fColumns.size() && i < values.size(); ++i)
        StoreValue(fColumns[i], r, values[i], FieldDefs()[static_cast<int>(i)]);
    return r;
}

void TMemTable::InternalDelete(uint32_t rec) {
    if (rec >= fCount || fDeleted[rec]) throw EDatabaseError("Record not found");
    fDeleted[rec] = 1;
    ++fDeletedCount;
}

void TMemTable::SetSort(const std::string& fields) {
    std::vector<TSortKey> keys;
    size_t start = 0;
    while (start <= fields.size()) {
        size_t p = fields.find(';', start);
        std::string item =
            fields.substr(start, p == std::string::npos ? std::string::npos : p - start);
        start = p == std::string::npos ? fields.size() + 1 : p + 1;
        while (!item.empty() && item.back() == ' ')
            item.pop_back();
        while (!item.empty() && item.front() == ' ')
            item.erase(0, 1);
        if (item.empty()) continue;
        TSortKey key;
        if (item.size() > 5 && (item.compare(item.size() - 5, 5, " DESC") == 0 ||
                                item.compare(item.size() - 5, 5, " desc") == 0)) {
            key.Descending = true;
            item.erase(item.size() - 5);
            while (!item.empty() && item.back() == ' ')
                item.pop_back();
        }
        int no = FieldDefs().IndexOf(item);
        if (no < 0) throw EDatabaseError("Field '" + item + "' not found");
        key.FieldNo = no;
        keys.push_back(key);
    }
    SetSortKeys(std::move(keys));
}

#pragma once

// Shared by the dBase tests: a folder per test, file bytes, and a small
// dataset over the dBase driver (the engines are tested on their own).

#include "data/base/DatabaseError.h"
#include "data/drivers/dbf/DbfDriver.h"
#include "data/drivers/dbf/DbfWriter.h"
#include "data/engines/DriverDataSet.h"
#include "data/locale/DateTimeFormat.h"
#include "tests/support/DBase2Table.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace dbftest {

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// A field of a new table; a length of 0 takes the type's fixed length.
inline TDbfFieldSpec F(const char* name, char type, int length = 0, int decimals = 0) {
    TDbfFieldSpec s;
    s.Name = name;
    s.Type = type;
    s.Length = length;
    s.Decimals = decimals;
    return s;
}

inline void WriteBytes(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << data;
}

// The dataset the engines build on, over a dBase file.
class TDbfTestDataSet : public TDriverDataSet {
public:
    explicit TDbfTestDataSet(std::string path) : fPath(std::move(path)) {}
    ~TDbfTestDataSet() override { Close(); }
    std::string ClassName() const override { return "TDbfTestDataSet"; }
    TDbfDriver& Dbf() const { return static_cast<TDbfDriver&>(*Driver()); }

protected:
    std::string TablePath() const override { return fPath; }
    std::unique_ptr<TTableDriver> MakeDriver(const std::string&) const override {
        return std::make_unique<TDbfDriver>();
    }

private:
    std::string fPath;
};

// An open driver with its definitions.
struct TOpenTable {
    TDbfDriver Driver;
    TFieldDefs Fields;
    TIndexDefs Indexes;
    explicit TOpenTable(const std::string& path) { Driver.Open(path, Fields, Indexes); }
    TValue Get(uint32_t rec, int field) {
        TValue v;
        Driver.GetValue(rec, field, v);
        return v;
    }
};

inline TValue Text(std::string_view s) {
    return TValue::OfText(s);
}
inline TValue Int(int64_t v) {
    return TValue::OfInt(v);
}
inline TValue Num(double v) {
    return TValue::OfFloat(v);
}
inline TValue Bool(bool v) {
    return TValue::OfBool(v);
}
inline TValue Bytes(std::string_view s) {
    return TValue::OfBytes(s);
}
inline TValue Null() {
    return TValue();
}
inline TValue Date(int y, int m, int d) {
    return TValue::OfDateTime(EncodeDate(y, m, d));
}
inline TValue Stamp(int y, int m, int d, int hh, int mm, int ss, int ms = 0) {
    return TValue::OfDateTime(EncodeDate(y, m, d) + EncodeTime(hh, mm, ss, ms));
}

// The message of the EDatabaseError that `f` raises, or "" when it raises none.
template <typename F> std::string ErrorOf(F&& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return std::string();
}

} // namespace dbftest

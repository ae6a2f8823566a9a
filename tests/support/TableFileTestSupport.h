#pragma once

// Shared by the Paradox and text driver tests: a folder per test, file
// bytes, and a small dataset over one driver (the engines have their own
// tests).

#include "data/engines/DriverDataSet.h"
#include "data/locale/FormatSettings.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

inline std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline void PutFileBytes(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << data;
}

// The message of what `f` raises, or "" when it raises nothing.
template <typename F> std::string RaisedMessage(F&& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return std::string();
}

// A dataset over one table file read by driver D, for DisplayText and the
// editing states that the engines build on.
template <typename D> class TFileTestDataSet : public TDriverDataSet {
public:
    explicit TFileTestDataSet(std::string path) : fPath(std::move(path)) {}
    ~TFileTestDataSet() override { Close(); }
    std::string ClassName() const override { return "TFileTestDataSet"; }
    D& TheDriver() const { return static_cast<D&>(*Driver()); }

protected:
    std::string TablePath() const override { return fPath; }
    std::unique_ptr<TTableDriver> MakeDriver(const std::string&) const override {
        return std::make_unique<D>();
    }

private:
    std::string fPath;
};

// An open driver with its definitions.
template <typename D> struct TOpenDriver {
    D Driver;
    TFieldDefs Fields;
    TIndexDefs Indexes;
    explicit TOpenDriver(const std::string& path) { Driver.Open(path, Fields, Indexes); }
    TValue Get(uint32_t rec, int field) {
        TValue v;
        Driver.GetValue(rec, field, v);
        return v;
    }
    std::string Text(uint32_t rec, int field) { return Get(rec, field).Text; }
};

// The locale's conventions replaced for one test.
class TClassicFormats {
public:
    TClassicFormats() : fSaved(FormatSettings()) { SetFormatSettings(TFormatSettings::Classic()); }
    ~TClassicFormats() { SetFormatSettings(fSaved); }

private:
    TFormatSettings fSaved;
};

#pragma once

// Shared by the Paradox and text driver tests: a folder per test, file
// bytes, and a small dataset over one driver (the engines have their own
// tests).

#include "data/DriverDataSet.h"
#include "data/FormatSettings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

class TTableTestFolder {
public:
    TTableTestFolder() {
        std::string tmpl =
            (std::filesystem::temp_directory_path() / "tabulon-table-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) throw std::runtime_error("cannot make a temporary folder");
        fPath = tmpl;
    }
    ~TTableTestFolder() {
        std::error_code ec;
        std::filesystem::remove_all(fPath, ec);
    }
    TTableTestFolder(const TTableTestFolder&) = delete;
    TTableTestFolder& operator=(const TTableTestFolder&) = delete;
    std::string operator/(const std::string& name) const { return (fPath / name).string(); }
    const std::filesystem::path& Path() const { return fPath; }
    // The names of the files in the folder, sorted.
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(fPath))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path fPath;
};

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

#include "data/engines/ADOConnection.h"

#include "data/base/DatabaseError.h"
#include "data/base/TextUtils.h"

#include <filesystem>

namespace {
struct TDriverInfo {
    TTableFormat Format;
    const char* Name;
    const char* DefaultId;
    const char* FileType; // the FIL key of the completed string
};

const TDriverInfo Drivers[] = {
    {TTableFormat::Dbase, "Microsoft dBase Driver (*.dbf)", "277", "dBase IV"},
    {TTableFormat::Paradox, "Microsoft Paradox Driver (*.db )", "26", "Paradox 5.X"},
    {TTableFormat::Text, "Microsoft Text Driver (*.txt; *.csv)", "27", "text"},
};

// Driver names compare without regard to case and blanks: "(*.db )" and
// "(*.db)" name one driver.
std::string DriverKey(std::string_view name) {
    std::string k;
    for (char c : name)
        if (c != ' ' && c != '\t') k += c;
    return LowerCase(k);
}

[[noreturn]] void Fail(const std::string& what) {
    throw EDatabaseError("Connection string: " + what);
}

std::string Find(const std::vector<std::pair<std::string, std::string>>& pairs,
                 std::string_view key) {
    for (const auto& [k, v] : pairs)
        if (SameText(k, key)) return v;
    return std::string();
}

} // namespace

std::string TADOConnection::Braced(const std::string& v) {
    bool plain = v.find_first_of(";={}") == std::string::npos && Trim(v).size() == v.size() &&
                 (v.empty() || (v.front() != '"' && v.front() != '\''));
    if (plain) return v;
    std::string r = "{";
    for (char c : v) {
        r += c;
        if (c == '}') r += '}';
    }
    return r + "}";
}

std::vector<std::pair<std::string, std::string>> TADOConnection::Parse(std::string_view text) {
    std::vector<std::pair<std::string, std::string>> pairs;
    size_t i = 0;
    const size_t n = text.size();
    auto blank = [&](size_t k) { return k < n && (text[k] == ' ' || text[k] == '\t'); };
    while (i < n) {
        while (i < n && (blank(i) || text[i] == ';'))
            ++i;
        if (i >= n) break;
        size_t start = i;
        while (i < n && text[i] != '=' && text[i] != ';')
            ++i;
        if (i >= n || text[i] != '=')
            Fail("'" + std::string(Trim(text.substr(start, i - start))) +
                 "' is not a key=value pair");
        std::string key(Trim(text.substr(start, i - start)));
        if (key.empty()) Fail("a value without a key at position " + std::to_string(start + 1));
        ++i;
        while (blank(i))
            ++i;
        std::string value;
        if (i < n && (text[i] == '{' || text[i] == '"' || text[i] == '\'')) {
            const char close = text[i] == '{' ? '}' : text[i];
            ++i;
            for (;;) {
                if (i >= n) Fail("the value of '" + key + "' has no closing " + close);
                if (text[i] == close) {
                    if (i + 1 < n && text[i + 1] == close) {
                        value += close;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += text[i++];
            }
            while (blank(i))
                ++i;
            if (i < n && text[i] != ';')
                Fail("unexpected text after the value of '" + key + "' at position " +
                     std::to_string(i + 1));
        } else {
            size_t vs = i;
            while (i < n && text[i] != ';')
                ++i;
            value.assign(Trim(text.substr(vs, i - vs)));
        }
        pairs.emplace_back(std::move(key), std::move(value));
    }
    return pairs;
}

TADOConnectionTarget TADOConnection::Resolve(std::string_view text) {
    std::vector<std::pair<std::string, std::string>> pairs = Parse(text);
    const std::string provider = Find(pairs, "Provider");
    if (!provider.empty()) {
        if (!StartsText("MSDASQL", provider))
            Fail("the provider '" + provider +
                 "' is not available; the ODBC drivers are reached through MSDASQL");
        // The ODBC part of a completed string is in its extended properties.
        std::vector<std::pair<std::string, std::string>> inner =
            Parse(Find(pairs, "Extended Properties"));
        inner.insert(inner.end(), pairs.begin(), pairs.end());
        pairs.swap(inner);
    }
    const std::string driver = Find(pairs, "Driver");
    if (driver.empty()) {
        std::string dsn = Find(pairs, "DSN");
        if (!dsn.empty()) Fail("the data source '" + dsn + "' is not known; name a Driver");
        Fail("no Driver is named");
    }
    const TDriverInfo* info = nullptr;
    for (const TDriverInfo& d : Drivers)
        if (DriverKey(d.Name) == DriverKey(driver)) info = &d;
    if (!info)
        Fail("the driver '" + driver + "' is not installed; the drivers are " + Drivers[0].Name +
             ", " + Drivers[1].Name + " and " + Drivers[2].Name);
    TADOConnectionTarget t;
    t.Format = info->Format;
    t.DriverName = info->Name;
    t.DriverId = Find(pairs, "DriverID");
    if (t.DriverId.empty()) t.DriverId = info->DefaultId;
    t.Directory = Find(pairs, "DefaultDir");
    if (t.Directory.empty()) t.Directory = Find(pairs, "DBQ");
    if (t.Directory.empty()) Fail("no directory is named (DefaultDir)");
    std::error_code ec;
    if (!std::filesystem::is_directory(t.Directory, ec))
        Fail("the directory '" + t.Directory + "' does not exist");
    if (t.Format == TTableFormat::Text) {
        for (const std::string& e : SplitString(Find(pairs, "Extensions"), ',')) {
            std::string_view x = Trim(e);
            if (!x.empty() && x.front() == '.') x.remove_prefix(1);
            if (!x.empty()) t.Extensions.push_back(LowerCase(x));
        }
        if (t.Extensions.empty()) t.Extensions = {"asc", "csv", "tab", "txt"};
    }
    return t;
}

std::string TADOConnection::Complete(const TADOConnectionTarget& t) {
    const char* fileType = "";
    for (const TDriverInfo& d : Drivers)
        if (d.Format == t.Format) fileType = d.FileType;
    std::string dir = Braced(t.Directory);
    std::string inner = "DBQ=" + dir + ";DefaultDir=" + dir + ";Driver={" + t.DriverName +
                        "};DriverId=" + Braced(t.DriverId) + ";";
    if (t.Format == TTableFormat::Text) {
        inner += "Extensions=";
        for (size_t i = 0; i < t.Extensions.size(); ++i)
            inner += (i ? "," : "") + t.Extensions[i];
        inner += ";";
    }
    inner += std::string("FIL=") + fileType + ";MaxBufferSize=2048;PageTimeout=5;";
    std::string quoted;
    for (char c : inner) {
        quoted += c;
        if (c == '"') quoted += '"';
    }
    return "Provider=MSDASQL.1;Persist Security Info=False;Extended Properties=\"" + quoted + "\"";
}

void TADOConnection::SetConnectionString(const std::string& text) {
    if (text == fConnectionString) return;
    if (fConnected) throw EDatabaseError("Operation is not allowed when the connection is open");
    fConnectionString = text;
}

void TADOConnection::Open() {
    if (fConnected) return;
    TADOConnectionTarget t = Resolve(fConnectionString);
    fConnectionString = Complete(t);
    fTarget = std::move(t);
    fConnected = true;
}

void TADOConnection::Close() {
    fConnected = false;
}

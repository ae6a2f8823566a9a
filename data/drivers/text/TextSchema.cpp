#include "data/drivers/text/TextSchema.h"

#include "data/base/DatabaseError.h"
#include "data/base/TextUtils.h"
#include "data/platform/CodePage.h"

#include <algorithm>
#include <charconv>
#include <map>

namespace {
constexpr size_t MaxFields = 4096;
constexpr int MaxWidth = 1 << 20;

bool ParseNumber(std::string_view s, int& out) {
    s = Trim(s);
    if (s.empty()) return false;
    auto r = std::from_chars(s.data(), s.data() + s.size(), out);
    return r.ec == std::errc() && r.ptr == s.data() + s.size() && out >= 0;
}

bool TypeOf(std::string_view name, TFieldType& out) {
    static const struct {
        const char* Name;
        TFieldType Type;
    } types[] = {{"CHAR", ftString},       {"ALPHA", ftString},      {"STRING", ftString},
                 {"VARCHAR", ftString},    {"LONGINT", ftInteger},   {"INTEGER", ftInteger},
                 {"INT", ftInteger},       {"LONG", ftInteger},      {"SHORTINT", ftSmallint},
                 {"SHORT", ftSmallint},    {"SMALLINT", ftSmallint}, {"FLOAT", ftFloat},
                 {"NUMBER", ftFloat},      {"NUMERIC", ftFloat},     {"DOUBLE", ftFloat},
                 {"MONEY", ftCurrency},    {"CURRENCY", ftCurrency}, {"BCD", ftBCD},
                 {"DATE", ftDate},         {"TIME", ftTime},         {"TIMESTAMP", ftDateTime},
                 {"DATETIME", ftDateTime}, {"BOOL", ftBoolean},      {"BOOLEAN", ftBoolean},
                 {"LOGICAL", ftBoolean}};
    for (const auto& t : types)
        if (SameText(name, t.Name)) {
            out = t.Type;
            return true;
        }
    return false;
}

// The one character of a DELIMITER or SEPARATOR value, which may be
// quoted or named.
bool CharOf(std::string_view v, char& out, bool allowNone) {
    std::string_view t = Trim(v);
    if (t.empty() || SameText(t, "NONE")) {
        out = 0;
        return allowNone;
    }
    if (SameText(t, "TAB") || t == "\\t") return out = '\t', true;
    if (SameText(t, "SPACE")) return out = ' ', true;
    if (t.size() == 3 && (t[0] == '\'' || t[0] == '"') && t[2] == t[0]) t = t.substr(1, 1);
    if (t.size() != 1) return false;
    out = t[0];
    return out != '\r' && out != '\n';
}
} // namespace

const char* TTextSchema::TypeName(TFieldType type) {
    switch (type) {
    case ftInteger:
        return "LONGINT";
    case ftSmallint:
        return "SHORTINT";
    case ftFloat:
        return "FLOAT";
    case ftCurrency:
        return "MONEY";
    case ftBCD:
        return "BCD";
    case ftDate:
        return "DATE";
    case ftTime:
        return "TIME";
    case ftDateTime:
        return "TIMESTAMP";
    case ftBoolean:
        return "BOOL";
    default:
        return "CHAR";
    }
}

TTextSchema TTextSchema::Parse(std::string_view text, const std::string& path) {
    TTextSchema s;
    int line = 0;
    auto fail = [&](const std::string& what) {
        throw EDatabaseError("Schema file \"" + path + "\"" +
                             (line > 0 ? ", line " + std::to_string(line) : std::string()) + ": " +
                             what);
    };
    if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::map<int, std::pair<TTextSchemaField, int>> fields; // number -> field, line
    bool seenSection = false;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view raw = text.substr(pos, end - pos);
        pos = end + 1;
        ++line;
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
        std::string_view l = Trim(raw);
        if (raw.find('\0') != std::string_view::npos)
            fail("the line holds a NUL character; this is no schema file");
        if (l.empty() || l[0] == ';' || l[0] == '#') continue;
        if (l[0] == '[') {
            if (l.back() != ']') fail("a section name needs a closing ']'");
            if (seenSection) fail("a second section; a schema describes one table");
            seenSection = true;
            s.TableName = std::string(Trim(l.substr(1, l.size() - 2)));
            continue;
        }
        size_t eq = l.find('=');
        if (eq == std::string_view::npos)
            fail("expected NAME = value, found \"" + std::string(l.substr(0, 60)) + "\"");
        std::string_view key = Trim(l.substr(0, eq));
        std::string_view value = Trim(l.substr(eq + 1));
        if (SameText(key, "FILETYPE")) {
            std::string_view v = Trim(value);
            if (SameText(v, "VARYING") || SameText(v, "DELIMITED"))
                s.Fixed = false;
            else if (SameText(v, "FIXED"))
                s.Fixed = true;
            else
                fail("FILETYPE is " + std::string(v) + ", not VARYING or FIXED");
        } else if (SameText(key, "CHARSET")) {
            s.CharSetGiven = true;
            std::string_view v = Trim(value);
            int number;
            if (SameText(v, "ANSI") || SameText(v, "ANSIINTL") || SameText(v, "WINDOWS"))
                s.CharSet = csAnsi;
            else if (SameText(v, "OEM") || SameText(v, "ASCII") || SameText(v, "INTL") ||
                     SameText(v, "DOS"))
                s.CharSet = csOem;
            else if (SameText(v, "UTF8") || SameText(v, "UTF-8"))
                s.CharSet = csNumber, s.CodePage = 65001;
            else if (ParseNumber(v, number)) {
                if (!TCodePage::Supported(number))
                    fail("code page " + std::to_string(number) + " is not supported here");
                s.CharSet = csNumber, s.CodePage = number;
            } else
                fail("CHARSET is " + std::string(v) + ", not ANSI, OEM or a code page number");
        } else if (SameText(key, "DELIMITER")) {
            if (!CharOf(value, s.Delimiter, true)) fail("DELIMITER must be one character");
        } else if (SameText(key, "SEPARATOR")) {
            if (!CharOf(value, s.Separator, false)) fail("SEPARATOR must be one character");
        } else if (StartsText("FIELD", key)) {
            int number;
            if (!ParseNumber(key.substr(5), number) || number < 1 ||
                number > static_cast<int>(MaxFields))
                fail("\"" + std::string(key) + "\" is not FIELD1 to FIELD" +
                     std::to_string(MaxFields));
            if (fields.count(number)) fail(std::string(key) + " is given twice");
            std::vector<std::string> parts = SplitString(value, ',');
            if (parts.size() < 2 || parts.size() > 5)
                fail(std::string(key) + " needs name,type,width,decimals,offset");
            TTextSchemaField f;
            f.Name = std::string(Trim(parts[0]));
            if (f.Name.empty()) fail(std::string(key) + " has no name");
            if (!TypeOf(Trim(parts[1]), f.DataType))
                fail("unknown field type \"" + std::string(Trim(parts[1])) + "\"");
            if (parts.size() > 2 && (!ParseNumber(parts[2], f.Width) || f.Width > MaxWidth))
                fail("the width of " + f.Name + " is not a number from 0 to " +
                     std::to_string(MaxWidth));
            if (parts.size() > 3 && (!ParseNumber(parts[3], f.Decimals) || f.Decimals > 32))
                fail("the decimals of " + f.Name + " are not a number from 0 to 32");
            if (parts.size() > 4 && (!ParseNumber(parts[4], f.Offset) || f.Offset > MaxWidth))
                fail("the offset of " + f.Name + " is not a number from 0 to " +
                     std::to_string(MaxWidth));
            fields[number] = {f, line};
        } else {
            fail("unknown setting \"" + std::string(key) + "\"");
        }
    }
    line = 0;
    if (fields.empty()) fail("no fields (FIELD1 = ...) are described");
    int expected = 1;
    for (auto& [number, entry] : fields) {
        line = entry.second;
        if (number != expected) fail("FIELD" + std::to_string(expected) + " is missing");
        ++expected;
        for (const TTextSchemaField& other : s.Fields)
            if (SameText(other.Name, entry.first.Name))
                fail("two fields are named " + entry.first.Name);
        s.Fields.push_back(entry.first);
    }
    if (s.Fixed) {
        std::vector<std::pair<TTextSchemaField, int>> byOffset;
        for (auto& [number, entry] : fields) {
            line = entry.second;
            if (entry.first.Width < 1) fail("a field of a FIXED file needs a width of at least 1");
            byOffset.push_back(entry);
        }
        std::sort(byOffset.begin(), byOffset.end(),
                  [](const auto& a, const auto& b) { return a.first.Offset < b.first.Offset; });
        for (size_t i = 1; i < byOffset.size(); ++i) {
            const TTextSchemaField& a = byOffset[i - 1].first;
            const TTextSchemaField& b = byOffset[i].first;
            line = byOffset[i].second;
            if (a.Offset + a.Width > b.Offset) fail(b.Name + " overlaps " + a.Name);
        }
    } else if (s.Delimiter != 0 && s.Delimiter == s.Separator) {
        line = 0;
        fail("DELIMITER and SEPARATOR are the same character");
    }
    return s;
}

std::string TTextSchema::Format() const {
    std::string out = "[" + TableName + "]\r\n";
    out += std::string("FILETYPE = ") + (Fixed ? "FIXED" : "VARYING") + "\r\n";
    out += "CHARSET = ";
    out += CharSet == csAnsi ? "ANSI" : CharSet == csOem ? "OEM" : std::to_string(CodePage);
    out += "\r\n";
    if (!Fixed) {
        out += "DELIMITER = ";
        if (Delimiter) out += Delimiter;
        out += "\r\nSEPARATOR = ";
        out += Separator == '\t' ? std::string("TAB") : std::string(1, Separator);
        out += "\r\n";
    }
    for (size_t i = 0; i < Fields.size(); ++i) {
        const TTextSchemaField& f = Fields[i];
        out += "FIELD" + std::to_string(i + 1) + " = " + f.Name + "," + TypeName(f.DataType) + "," +
               std::to_string(f.Width) + "," + std::to_string(f.Decimals) + "," +
               std::to_string(f.Offset) + "\r\n";
    }
    return out;
}

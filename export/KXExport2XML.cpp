#include "export/KXExport2XML.h"

#include "data/base/DatabaseError.h"
#include "data/locale/FormatSettings.h"
#include "export/XMLName.h"

#include <array>

namespace {

// The length of the well-formed UTF-8 character at text[i] with its code
// point, or 0 when the bytes there are not one.
size_t DecodeUtf8(std::string_view text, size_t i, char32_t& cp) {
    const auto b = [&](size_t k) { return static_cast<unsigned char>(text[i + k]); };
    const unsigned char c = b(0);
    const size_t left = text.size() - i;
    auto cont = [&](size_t k) { return k < left && (b(k) & 0xC0) == 0x80; };
    if (c >= 0xC2 && c <= 0xDF) {
        if (!cont(1)) return 0;
        cp = (char32_t(c & 0x1F) << 6) | (b(1) & 0x3F);
        return 2;
    }
    if (c >= 0xE0 && c <= 0xEF) {
        if (!cont(1) || !cont(2)) return 0;
        cp = (char32_t(c & 0x0F) << 12) | (char32_t(b(1) & 0x3F) << 6) | (b(2) & 0x3F);
        if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
        return 3;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        if (!cont(1) || !cont(2) || !cont(3)) return 0;
        cp = (char32_t(c & 0x07) << 18) | (char32_t(b(1) & 0x3F) << 12) |
             (char32_t(b(2) & 0x3F) << 6) | (b(3) & 0x3F);
        if (cp < 0x10000 || cp > 0x10FFFF) return 0;
        return 4;
    }
    return 0;
}

// A value as XML text. "&", "<" and ">" become entities, in an attribute
// also the double quote. Characters that XML cannot hold (controls below 32
// other than tab and line breaks, bytes that are no UTF-8 character,
// U+FFFE and U+FFFF) become U+FFFD, so the document stays well-formed. Line
// breaks and tabs that a reader would normalise away (all three in an
// attribute, CR in content) are written as character references, so the
// value reads back as it was.
// Bytes that need a look: bit 1 in content, bit 2 in an attribute.
constexpr std::array<unsigned char, 256> XMLMarks = [] {
    std::array<unsigned char, 256> m{};
    for (int c = 0; c < 0x20; ++c)
        m[c] = 3;
    for (int c = 0x80; c < 0x100; ++c)
        m[c] = 3;
    m['\t'] = m['\n'] = 2;
    m['&'] = m['<'] = m['>'] = 3;
    m['"'] = 2;
    return m;
}();

void AppendXMLText(std::string& out, std::string_view text, bool attribute) {
    static constexpr std::string_view Replacement = "\xEF\xBF\xBD";
    const unsigned char mark = attribute ? 2 : 1;
    size_t start = 0;
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        // Plain characters, the most of any text, cost one look each.
        if ((XMLMarks[c] & mark) == 0) {
            ++i;
            continue;
        }
        std::string_view with;
        size_t len = 1;
        if (c >= 0x80) {
            char32_t cp;
            len = DecodeUtf8(text, i, cp);
            if (len != 0 && cp != 0xFFFE && cp != 0xFFFF) {
                i += len;
                continue;
            }
            if (len == 0) len = 1;
            with = Replacement;
        } else {
            switch (c) {
            case '&':
                with = "&amp;";
                break;
            case '<':
                with = "&lt;";
                break;
            case '>':
                with = "&gt;";
                break;
            case '"':
                if (!attribute) break;
                with = "&quot;";
                break;
            case '\t':
                if (attribute) with = "&#9;";
                break;
            case '\n':
                if (attribute) with = "&#10;";
                break;
            case '\r':
                with = "&#13;";
                break;
            default:
                if (c < 0x20) with = Replacement;
                break;
            }
            if (with.empty()) {
                ++i;
                continue;
            }
        }
        out.append(text.substr(start, i - start));
        out.append(with);
        i += len;
        start = i;
    }
    out.append(text.substr(start));
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsAlnum(char c) {
    return IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// A number as shown (locale separators, currency, grouping, exponent) as a
// plain number that XML readers parse: the digits, the first decimal
// separator as a full stop, an exponent "E" with its minus and digits, and a
// minus in front when the text is negative: a minus or an opening
// parenthesis before the first digit, or a minus after the last one that no
// letter or digit follows ("$1.00-", "1.00 $-"). A text without digits gives
// nothing.
void AppendCleanNumber(std::string& out, std::string_view text, char decimalSeparator) {
    size_t firstDigit = 0;
    while (firstDigit < text.size() && !IsDigit(text[firstDigit]))
        ++firstDigit;
    if (firstDigit == text.size()) return;
    // The exponent: E after a digit, an optional sign, at least one digit.
    size_t expAt = text.size();
    for (size_t i = firstDigit + 1; i < text.size(); ++i) {
        if (text[i] != 'E' && text[i] != 'e') continue;
        size_t k = i + 1;
        if (k < text.size() && (text[k] == '+' || text[k] == '-')) ++k;
        if (k < text.size() && IsDigit(text[k])) {
            expAt = i;
            break;
        }
    }
    size_t expEnd = expAt;
    if (expAt < text.size()) {
        expEnd = expAt + 2;
        while (expEnd < text.size() && IsDigit(text[expEnd]))
            ++expEnd;
    }
    size_t lastDigit = expAt;
    while (!IsDigit(text[lastDigit - 1]))
        --lastDigit;
    --lastDigit;

    // ".5" keeps its point.
    const size_t start =
        firstDigit > 0 && text[firstDigit - 1] == decimalSeparator ? firstDigit - 1 : firstDigit;

    bool negative = false;
    for (size_t i = 0; i < start; ++i)
        negative |= text[i] == '-' || text[i] == '(';
    for (size_t i = expAt < text.size() ? expEnd : lastDigit + 1; i < text.size() && !negative;
         ++i) {
        if (text[i] != '-') continue;
        size_t k = i + 1;
        while (k < text.size() && !IsAlnum(text[k]))
            ++k;
        negative = k == text.size();
    }
    // Every byte written stands for one of the text, but for the minus in
    // front: room for the text and one more is enough.
    const size_t at = out.size();
    out.resize(at + text.size() + 1);
    char* p = out.data() + at;
    if (negative) *p++ = '-';
    bool point = false;
    for (size_t i = start; i <= lastDigit; ++i) {
        const char c = text[i];
        if (IsDigit(c)) {
            *p++ = c;
        } else if (c == decimalSeparator && !point) {
            *p++ = '.';
            point = true;
        }
    }
    if (expAt < text.size()) {
        *p++ = 'E';
        size_t k = expAt + 1;
        if (text[k] == '-') *p++ = '-';
        if (text[k] == '+' || text[k] == '-') ++k;
        while (k < text.size() && IsDigit(text[k]))
            *p++ = text[k++];
    }
    out.resize(static_cast<size_t>(p - out.data()));
}

} // namespace

TKXExport2XML::TKXExport2XML() = default;

bool TKXExport2XML::XMLNameUsed(std::string_view s, int skipEntry) const {
    const TMappings& m = Mappings();
    for (int i = 0; i < m.Count(); ++i)
        if (i != skipEntry && m.ValueFromIndex(i) == s) return true;
    return false;
}

std::string TKXExport2XML::MakeXMLName(std::string_view s, int skipEntry) const {
    std::string name = SafeXMLName(s);
    // The candidates run X, X1, X12, X123: each number is appended to the
    // candidate before it.
    for (int n = 0; XMLNameUsed(name, skipEntry);)
        name += std::to_string(++n);
    return name;
}

void TKXExport2XML::BuildMappings() {
    TTableView* grid = Grid();
    if (!grid) return;
    TDataSet* ds = grid->DataSet();
    if (!ds || !ds->Active()) return;
    TMappings& m = Mappings();
    if (m.Empty()) {
        for (int i = 0; i < grid->ColumnCount(); ++i) {
            const TColumn& col = grid->Column(i);
            if (!col.Visible()) continue;
            std::string name = MakeXMLName(col.FieldName(), -1);
            m.Add(col.FieldName(), std::move(name), i);
        }
    } else {
        for (int i = 0; i < m.Count(); ++i)
            m.SetValueFromIndex(i, MakeXMLName(m.ValueFromIndex(i), i));
    }
}

std::string TKXExport2XML::XMLFieldType(const TField* field) {
    std::string t;
    if (!field) return "\"bin.hex\" SUBTYPE=\"Text\"";
    switch (field->DataType()) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
    case ftGuid:
        t = "\"string\" WIDTH=\"" + std::to_string(field->Size()) + "\"";
        break;
    case ftSmallint:
    case ftInteger:
    case ftWord:
        t = "\"i4\"";
        break;
    case ftLargeint:
        t = "\"i8\"";
        break;
    case ftBoolean:
        t = "\"boolean\"";
        break;
    case ftFloat:
    case ftBCD:
        t = "\"r8\"";
        break;
    case ftCurrency:
        t = "\"r8\" SUBTYPE=\"Money\"";
        break;
    case ftDate:
        t = "\"date\"";
        break;
    case ftTime:
        t = "\"time\"";
        break;
    case ftDateTime:
        t = "\"datetime\"";
        break;
    case ftAutoInc:
        t = "\"i4\" SUBTYPE=\"Autoinc\"";
        break;
    // Shown as hexadecimal digits of the bytes.
    case ftBytes:
    case ftVarBytes:
        t = "\"bin.hex\" WIDTH=\"" + std::to_string(field->Size()) + "\"";
        break;
    // Memo text, and the placeholder texts that stand for every other BLOB
    // kind and for kinds without a type of their own: a text memo, which
    // takes a text of any length as it stands. A binary or graphics type
    // would have the reader decode "(GRAPHIC)" as picture bytes.
    default:
        t = "\"bin.hex\" SUBTYPE=\"Text\"";
        break;
    }
    if (field->Required()) t += " required=\"true\"";
    if (field->ReadOnly()) t += " readonly=\"true\"";
    return t;
}

void TKXExport2XML::WriteDeclaration() {
    std::string line = "<?xml version=\"1.0\"";
    if (!fXMLEncoding.empty()) line += " encoding=\"" + fXMLEncoding + "\"";
    if (fXMLScheme < 2) line += " standalone=\"yes\"";
    line += "?>";
    WriteLn(line);
}

void TKXExport2XML::WriteHeader() {
    WriteDeclaration();
    if (BeforeWriteTable) BeforeWriteTable(*this);
    if (fXMLScheme != 1) {
        WriteLn("<recordset>");
        return;
    }
    WriteLn("<DATAPACKET Version=\"2.0\">");
    WriteLn("<METADATA>");
    WriteLn("<FIELDS>");
    const TMappings& m = Mappings();
    for (int i = 0; i < m.Count(); ++i)
        WriteLn("<FIELD attrname=\"" + m.ValueFromIndex(i) +
                "\" fieldtype=" + XMLFieldType(MappedColumn(i).Field()) + "/>");
    WriteLn("</FIELDS>");
    WriteLn("</METADATA>");
    WriteLn("<ROWDATA>");
}

void TKXExport2XML::WriteTitle() {
    TKXExport::WriteTitle();
}

// A record's values are gathered and written at once; the stream holds
// whole records, also when a value fails.
void TKXExport2XML::WriteRecord() {
    fCellIndex = 0;
    fLine.assign(fXMLScheme == 1 ? "<ROW" : "  <R1>\r\n");
    GatherRecord(fLine);
    fLine += fXMLScheme == 1 ? "/>\r\n" : "  </R1>\r\n";
    Write(fLine);
}

void TKXExport2XML::WriteCell(TColumn& column) {
    // Each entry writes under its own XML name, so that a field shown in two
    // columns gives two attributes of different names, as its two FIELD
    // lines say, and not one attribute twice.
    const TMappings& m = Mappings();
    const std::string& name =
        fCellIndex < m.Count() ? m.ValueFromIndex(fCellIndex) : m.Values(column.FieldName());
    ++fCellIndex;
    const std::string& text = CellParams().Text;
    const TField* field = column.Field();
    const bool numeric = field && field->IsNumeric();
    const bool packet = fXMLScheme == 1;

    if (!InRecord()) fLine.clear();
    if (packet) {
        fLine += ' ';
        fLine += name;
        fLine += "=\"";
    } else {
        fLine += "    <";
        fLine += name;
    }
    const size_t valueAt = fLine.size();
    if (!packet) fLine += '>';
    if (numeric)
        AppendCleanNumber(fLine, text, FormatSettings().DecimalSeparator);
    else
        AppendXMLText(fLine, text, packet);
    if (packet) {
        fLine += '"';
    } else if (fLine.size() == valueAt + 1) {
        fLine.resize(valueAt);
        fLine += "/>\r\n";
    } else {
        fLine += "</";
        fLine += name;
        fLine += ">\r\n";
    }
    if (!InRecord()) Write(fLine);
}

void TKXExport2XML::WriteFooter() {
    if (fXMLScheme == 1) {
        WriteLn("</ROWDATA>");
        WriteLn("</DATAPACKET>");
    } else {
        WriteLn("</recordset>");
    }
    if (AfterWriteTable) AfterWriteTable(*this);
}

#include "data/drivers/text/DelimitedTableWriter.h"

#include "data/base/DatabaseError.h"
#include "data/drivers/text/TextTypeGuess.h"
#include "data/locale/ValueConversion.h"
#include "data/platform/AtomicFile.h"
#include "data/platform/CodePage.h"

#include <algorithm>
#include <filesystem>

namespace {
std::string InCodePage(TCodePage& cp, const std::string& utf8) {
    std::string out;
    if (!cp.FromUtf8(utf8, out))
        throw EDatabaseError("The text '" + utf8.substr(0, 40) +
                             "' has characters that code page " + std::to_string(cp.Number()) +
                             " cannot hold");
    return out;
}

bool IsNumberType(TFieldType t) {
    return t == ftSmallint || t == ftInteger || t == ftLargeint || t == ftFloat ||
           t == ftCurrency || t == ftBCD;
}
} // namespace

void TDelimitedTableWriter::AppendValue(std::string& out, std::string_view text,
                                        const TDelimitedFormat& format) {
    const char q = format.Quote;
    bool quote = format.QuoteAll && q;
    if (!quote && q && !text.empty()) {
        quote = text.front() == ' ' || text.back() == ' ' || text.front() == '\t' ||
                text.back() == '\t';
        for (char c : text)
            if (c == format.Separator || c == q || c == '\r' || c == '\n') {
                quote = true;
                break;
            }
    }
    if (!quote) {
        out.append(text);
        return;
    }
    out += q;
    for (char c : text) {
        if (c == q) out += q;
        out += c;
    }
    out += q;
}

int TDelimitedTableWriter::FixedLine(std::vector<TFixedCell> cells, bool utf8, std::string& out) {
    out.clear();
    std::vector<size_t> order(cells.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return cells[a].Offset < cells[b].Offset; });
    size_t at = 0; // characters written
    for (size_t i : order) {
        const TFixedCell& c = cells[i];
        size_t chars = c.Text.size();
        if (utf8) {
            chars = 0;
            for (unsigned char ch : c.Text)
                chars += (ch & 0xC0) != 0x80;
        }
        if (chars > static_cast<size_t>(c.Width)) return static_cast<int>(i);
        if (static_cast<size_t>(c.Offset) > at) out.append(static_cast<size_t>(c.Offset) - at, ' ');
        const size_t pad = static_cast<size_t>(c.Width) - chars;
        if (c.Right) out.append(pad, ' ');
        out += c.Text;
        if (!c.Right) out.append(pad, ' ');
        at = std::max(at, static_cast<size_t>(c.Offset)) + static_cast<size_t>(c.Width);
    }
    return -1;
}

void TDelimitedTableWriter::Write(const std::string& path, const std::vector<std::string>& names,
                                  const std::vector<std::vector<TValue>>& rows,
                                  const TDelimitedFormat& format) {
    TCodePage cp(format.CodePage);
    std::string out;
    if (format.Bom) out += "\xEF\xBB\xBF";
    std::vector<std::string> lines;
    if (!names.empty()) {
        std::string line;
        for (size_t i = 0; i < names.size(); ++i) {
            if (i) line += format.Separator;
            AppendValue(line, InCodePage(cp, names[i]), format);
        }
        lines.push_back(std::move(line));
    }
    std::string text;
    for (const auto& row : rows) {
        std::string line;
        for (size_t i = 0; i < row.size(); ++i) {
            if (i) line += format.Separator;
            ValueToText(row[i], text);
            AppendValue(line, InCodePage(cp, text), format);
        }
        lines.push_back(std::move(line));
    }
    for (size_t i = 0; i < lines.size(); ++i) {
        out += lines[i];
        if (i + 1 < lines.size() || format.FinalLineEnd) out += format.LineEnd;
    }
    TAtomicFile file(path);
    file.Write(out);
    file.Commit();
}

void TDelimitedTableWriter::WriteWithSchema(const std::string& path, const TTextSchema& schema,
                                            const std::vector<std::vector<TValue>>& rows,
                                            const std::string& lineEnd) {
    const int codePage = schema.CharSet == TTextSchema::csNumber ? schema.CodePage
                         : schema.CharSet == TTextSchema::csOem  ? 437
                                                                 : 1252;
    TCodePage cp(codePage);
    TDelimitedFormat format;
    format.Separator = schema.Separator;
    format.Quote = schema.Delimiter;
    std::string out, text;
    const TValue none;
    const TTextTypeGuess style;
    for (const auto& row : rows) {
        std::string line;
        std::vector<TFixedCell> cells;
        for (size_t i = 0; i < schema.Fields.size(); ++i) {
            const TTextSchemaField& f = schema.Fields[i];
            const TValue& v = i < row.size() ? row[i] : none;
            // Dates, times and booleans as the schema's type writes them.
            const bool typed =
                (v.Kind == TValueKind::Boolean && f.DataType == ftBoolean) ||
                ((v.Kind == TValueKind::DateTime || v.Kind == TValueKind::Float) &&
                 (f.DataType == ftDate || f.DataType == ftTime || f.DataType == ftDateTime));
            if (typed)
                style.Format(v, f.DataType, text, schema.Fixed ? f.Width : 0);
            else
                ValueToText(v, text);
            std::string raw = InCodePage(cp, text);
            if (schema.Fixed) {
                cells.push_back({f.Offset, f.Width, IsNumberType(f.DataType), raw});
            } else {
                if (i) line += schema.Separator;
                // Numbers are written bare, text in the delimiter.
                TDelimitedFormat cellFormat = format;
                cellFormat.QuoteAll = f.DataType == ftString;
                AppendValue(line, raw, cellFormat);
            }
        }
        if (schema.Fixed) {
            int wide = FixedLine(cells, codePage == 65001, line);
            if (wide >= 0)
                throw EDatabaseError("A value is wider than field " +
                                     schema.Fields[static_cast<size_t>(wide)].Name);
        }
        out += line + lineEnd;
    }
    TAtomicFile file(path);
    file.Write(out);
    file.Commit();
    TAtomicFile sch(std::filesystem::path(path).replace_extension(".sch").string());
    sch.Write(schema.Format());
    sch.Commit();
}

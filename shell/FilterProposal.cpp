#include "shell/FilterProposal.h"

#include "data/base/TextUtils.h"
#include "data/dataset/DataSet.h"
#include "data/dataset/Field.h"
#include "data/filter/FilterParser.h"
#include "data/locale/DateTimeFormat.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <exception>
#include <vector>

namespace {
bool IsWordStart(char c) {
    auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == '_' || u >= 0x80;
}

bool IsWordChar(char c) {
    return IsWordStart(c) || (c >= '0' && c <= '9') || c == '$';
}

// A name the filters read as a bare word naming a field.
bool IsPlainWord(const std::string& name) {
    if (name.empty() || !IsWordStart(name[0])) return false;
    for (char c : name)
        if (!IsWordChar(c)) return false;
    for (const char* keyword : {"AND", "OR", "NOT", "IS", "LIKE", "NULL"})
        if (SameText(name, keyword)) return false;
    return true;
}

// `text` between `open` and `close`, each `close` inside doubled.
std::string Enclosed(const std::string& text, char open, char close) {
    std::string r(1, open);
    for (char c : text) {
        r += c;
        if (c == close) r += c;
    }
    r += close;
    return r;
}

// The ways to write the name, the preferred first.
std::vector<std::string> NameForms(const std::string& name) {
    std::vector<std::string> forms;
    const bool blank = name.find(' ') != std::string::npos;
    const bool fillsBrackets = !Trim(name).empty();
    if (IsPlainWord(name)) forms.push_back(name);
    if (blank && name.find('\'') == std::string::npos) forms.push_back(Enclosed(name, '\'', '\''));
    if (fillsBrackets && name.find(']') == std::string::npos)
        forms.push_back(Enclosed(name, '[', ']'));
    if (fillsBrackets && name.find('"') == std::string::npos)
        forms.push_back(Enclosed(name, '"', '"'));
    // The name can no longer be read as it is; any form that parses will do.
    if (fillsBrackets) forms.push_back(Enclosed(name, '[', ']'));
    forms.push_back(Enclosed(name, '\'', '\''));
    return forms;
}

std::string Iso(const char* format, int a, int b, int c) {
    char buf[32];
    std::snprintf(buf, sizeof buf, format, a, b, c);
    return buf;
}

// The ways to write the value, the preferred first; none when no literal
// can stand for it.
std::vector<std::string> ValueForms(const TDataSet& dataSet, const TField& field) {
    std::vector<std::string> forms;
    if (field.IsNull()) return {"null"};
    switch (field.DataType()) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
    case ftGuid:
        forms.push_back(Enclosed(field.AsString(), '\'', '\''));
        break;
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
    case ftLargeint:
        forms.push_back(field.AsString());
        forms.push_back(std::to_string(field.AsLargeInt()));
        break;
    case ftFloat:
    case ftCurrency:
    case ftBCD: {
        const double v = field.AsFloat();
        if (!std::isfinite(v)) break;
        forms.push_back(field.AsString());
        char buf[40];
        auto r = std::to_chars(buf, buf + sizeof buf, v);
        forms.emplace_back(buf, r.ptr);
        break;
    }
    case ftBoolean: {
        const std::string word = field.AsBoolean() ? "True" : "False";
        // A field of that name would take the bare word for itself.
        if (!dataSet.FindField(word)) forms.push_back(word);
        forms.push_back("'" + word + "'");
        forms.push_back(field.AsBoolean() ? "1" : "0");
        break;
    }
    case ftDate:
    case ftTime:
    case ftDateTime: {
        forms.push_back(Enclosed(field.AsString(), '\'', '\''));
        const double v = field.AsDateTime();
        int y, m, d, h, n, s, ms;
        DecodeDate(v, y, m, d);
        DecodeTime(v, h, n, s, ms);
        const std::string date = Iso("%04d-%02d-%02d", y, m, d);
        const std::string time = Iso("%02d:%02d:%02d", h, n, s);
        const TFieldType t = field.DataType();
        forms.push_back("'" + (t == ftDate ? date : t == ftTime ? time : date + " " + time) + "'");
        break;
    }
    default:
        break; // bytes and the like: no filter compares them
    }
    return forms;
}

// Whether both engines' filters read the text and let the current record pass.
bool FindsCurrentRecord(const TDataSet& dataSet, const std::string& text) {
    for (TFilterDialect dialect : {TFilterDialect::Table, TFilterDialect::ADO}) {
        try {
            std::unique_ptr<TFilterExpression> e = TFilterParser(dialect, dataSet).Parse(text);
            TFilterValues values(e->FieldNos().size());
            for (size_t i = 0; i < values.size(); ++i)
                dataSet.Fields(e->FieldNos()[i]).GetData(values[i]);
            if (!e->Eval(values)) return false;
        } catch (const std::exception&) {
            return false; // refused, or the record cannot be read
        }
    }
    return true;
}
} // namespace

std::string FilterForCurrentCell(const TDataSet& dataSet, const TField& field) {
    std::vector<std::string> values;
    try {
        values = ValueForms(dataSet, field);
    } catch (const std::exception&) {
        return std::string(); // a value that cannot be read cannot be proposed
    }
    for (const std::string& name : NameForms(field.FieldName()))
        for (const std::string& value : values) {
            std::string e = name + " = " + value;
            if (FindsCurrentRecord(dataSet, e)) return e;
        }
    return std::string();
}

std::string ProposeFilter(const TDataSet& dataSet, const TField* field,
                          std::string_view filterText) {
    if (!filterText.empty() || !field || !dataSet.Active() || dataSet.IsEmpty() ||
        dataSet.Filtered() || field->IsBlob())
        return std::string();
    return FilterForCurrentCell(dataSet, *field);
}

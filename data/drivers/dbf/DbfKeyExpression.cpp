#include "data/drivers/dbf/DbfKeyExpression.h"

#include "data/base/TextUtils.h"

#include <vector>

namespace {
// A field name: letters (of any script: bytes of UTF-8 sequences count as
// letters), digits and underscores, not starting with a digit.
bool IsIdent(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
              c == '_' || static_cast<unsigned char>(c) >= 0x80))
            return false;
    return !(s[0] >= '0' && s[0] <= '9');
}

// "FUNC(arg)" -> arg when the function is `func` (any case).
bool Unwrap(std::string_view part, std::string_view func, std::string_view& arg) {
    if (part.size() < func.size() + 2 || part.back() != ')') return false;
    if (!SameText(part.substr(0, func.size()), func)) return false;
    std::string_view rest = Trim(part.substr(func.size()));
    if (rest.size() < 2 || rest.front() != '(') return false;
    arg = Trim(rest.substr(1, rest.size() - 2));
    return true;
}
} // namespace

TIndexDef DbfIndexDefFromExpression(const std::string& name, std::string_view expression,
                                    const TFieldDefs& fields, unsigned options) {
    std::string_view expr = Trim(expression);
    std::vector<std::string_view> parts;
    int depth = 0;
    size_t start = 0;
    for (size_t i = 0; i < expr.size(); ++i) {
        if (expr[i] == '(') ++depth;
        if (expr[i] == ')') --depth;
        if (expr[i] == '+' && depth == 0) {
            parts.push_back(Trim(expr.substr(start, i - start)));
            start = i + 1;
        }
    }
    parts.push_back(Trim(expr.substr(start)));

    std::string list;
    bool ok = !expr.empty();
    int upper = 0, plainText = 0;
    for (std::string_view part : parts) {
        std::string_view field = part, arg;
        bool isUpper = false;
        if (Unwrap(part, "UPPER", arg)) {
            field = arg;
            isUpper = true;
        } else if (Unwrap(part, "DTOS", arg)) {
            field = arg;
        }
        int no = IsIdent(field) ? fields.IndexOf(std::string(field)) : -1;
        if (no < 0) {
            ok = false;
            break;
        }
        const TFieldDef& def = fields[no];
        bool text = def.DataType == ftString || def.DataType == ftMemo;
        if (field != part && !isUpper && def.DataType != ftDate) ok = false; // DTOS of a non-date
        if (isUpper && !text) ok = false;
        if (isUpper)
            ++upper;
        else if (text)
            ++plainText;
        if (!list.empty()) list += ';';
        list += def.Name;
    }
    if (ok && upper > 0 && plainText > 0) ok = false; // partly case-insensitive: an expression
    TIndexDef def;
    def.Name = name;
    if (ok) {
        def.Fields = list;
        def.Options = options | (upper > 0 ? ixCaseInsensitive : 0u);
    } else {
        def.Fields = std::string(expr);
        def.Options = options | ixExpression;
    }
    return def;
}

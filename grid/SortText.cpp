#include "grid/SortText.h"

#include "data/base/TextUtils.h"

namespace {
// Position from 1 of `what` in `text`, 0 when it is not there.
int Pos(const std::string& what, const std::string& text) {
    const size_t at = text.find(what);
    return at == std::string::npos ? 0 : static_cast<int>(at) + 1;
}

bool Ends(const std::string& text, int pos, size_t length) {
    const size_t end = static_cast<size_t>(pos - 1) + length;
    return end == text.size() || (end < text.size() && text[end] == ',');
}
} // namespace

bool IsSortedBy(const std::string& sortText, const std::string& fieldName, int& pos, bool& desc) {
    desc = false;
    if (SameText(sortText, fieldName)) return true;
    if (SameText(sortText, fieldName + " desc")) {
        desc = true;
        return true;
    }
    const std::string l = LowerCase(sortText), f = LowerCase(fieldName);
    int p = Pos(f + " desc,", l);
    if (p > 0) {
        pos = p;
        desc = p == 1 || l[static_cast<size_t>(p - 2)] == ',';
        return desc;
    }
    p = Pos(f + ",", l);
    if (p > 0) {
        pos = p;
        return p == 1 || l[static_cast<size_t>(p - 2)] == ',';
    }
    p = Pos("," + f + " desc", l);
    if (p > 0) {
        if (!Ends(l, p, f.size() + 6)) return false;
        pos = p + 1;
        desc = true;
        return true;
    }
    p = Pos("," + f, l);
    if (p > 0) {
        if (!Ends(l, p, f.size() + 1)) return false;
        pos = p + 1;
        return true;
    }
    return false;
}

std::string NextSortText(const std::string& sortText, const std::string& fieldName,
                         bool addToSort) {
    const bool multi = addToSort && !sortText.empty() && !SameText(sortText, fieldName) &&
                       !SameText(sortText, fieldName + " desc");
    if (multi) {
        std::string s = sortText;
        int pos = 0;
        bool desc = false;
        if (IsSortedBy(sortText, fieldName, pos, desc)) {
            const size_t after = static_cast<size_t>(pos - 1) + fieldName.size();
            if (desc)
                s.erase(after, 5);
            else
                s.insert(after, " DESC");
        } else {
            s += "," + fieldName;
        }
        return s;
    }
    if (SameText(sortText, fieldName)) return fieldName + " DESC";
    return fieldName;
}

bool NextIndexFields(const std::string& current, const std::string& fieldName, bool addToSort,
                     std::string& next) {
    if (SameText(fieldName, current)) return false;
    if (!addToSort) {
        next = fieldName;
        return true;
    }
    const std::string l = LowerCase(current), f = LowerCase(fieldName);
    if (current.size() > fieldName.size() &&
        Pos(";" + f, l) == static_cast<int>(current.size() - fieldName.size()))
        return false;
    // The field leaves its earlier place among the keys (a whole key only,
    // not the end of another name).
    std::string cur = current;
    const std::string key = f + ";";
    for (size_t at = LowerCase(cur).find(key); at != std::string::npos;
         at = LowerCase(cur).find(key, at)) {
        if (at == 0 || cur[at - 1] == ';')
            cur.erase(at, key.size());
        else
            at += key.size();
    }
    next = cur.empty() ? fieldName : cur + ";" + fieldName;
    return true;
}

#pragma once

// An XLSX workbook read back in the tests: its parts through minizip (the
// zip library that libxlsxwriter writes with), and from the parts the
// sheets, their cells and the styles those cells name.

#include <unzip.h>

#include <cstdlib>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace xlsx {

inline std::string Unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '&') {
            out += s[i];
            continue;
        }
        const size_t end = s.find(';', i);
        const std::string e = s.substr(i + 1, end - i - 1);
        if (e == "amp")
            out += '&';
        else if (e == "lt")
            out += '<';
        else if (e == "gt")
            out += '>';
        else if (e == "quot")
            out += '"';
        else if (e == "apos")
            out += '\'';
        else
            out += "&" + e + ";";
        i = end;
    }
    return out;
}

// The value of attribute `name` in the tag text `tag`; empty when absent.
inline std::string Attribute(const std::string& tag, const std::string& name) {
    const std::string key = " " + name + "=\"";
    const size_t at = tag.find(key);
    if (at == std::string::npos) return std::string();
    const size_t from = at + key.size();
    return Unescape(tag.substr(from, tag.find('"', from) - from));
}

struct TCell {
    std::string Type; // the t attribute: "", "b", "s", "inlineStr", "str"
    int Style = 0;
    std::string Value; // the <v> text, or the inline string
};

// Column letters of a reference ("AB12" -> "AB") and its row (12).
inline int RowOf(const std::string& ref) {
    return std::atoi(ref.c_str() + ref.find_first_of("0123456789"));
}
inline int ColumnOf(const std::string& ref) {
    int c = 0;
    for (char ch : ref) {
        if (ch < 'A' || ch > 'Z') break;
        c = c * 26 + (ch - 'A' + 1);
    }
    return c - 1;
}

class TPackage {
public:
    explicit TPackage(const std::string& path) {
        unzFile zip = unzOpen64(path.c_str());
        if (!zip) throw std::runtime_error("not a zip file: " + path);
        if (unzGoToFirstFile(zip) == UNZ_OK) {
            do {
                char name[512];
                unz_file_info64 info;
                unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0);
                std::string data;
                if (unzOpenCurrentFile(zip) == UNZ_OK) {
                    char buf[65536];
                    int n;
                    while ((n = unzReadCurrentFile(zip, buf, sizeof buf)) > 0)
                        data.append(buf, static_cast<size_t>(n));
                    if (n < 0 || unzCloseCurrentFile(zip) != UNZ_OK) {
                        unzClose(zip);
                        throw std::runtime_error("a damaged part: " + std::string(name));
                    }
                }
                fParts[name] = std::move(data);
            } while (unzGoToNextFile(zip) == UNZ_OK);
        }
        unzClose(zip);
        ReadStyles();
    }

    bool Has(const std::string& part) const { return fParts.count(part) != 0; }
    const std::string& Part(const std::string& part) const {
        auto it = fParts.find(part);
        if (it == fParts.end()) throw std::runtime_error("no part " + part);
        return it->second;
    }

    // The sheets' names in the workbook's order.
    std::vector<std::string> SheetNames() const {
        std::vector<std::string> names;
        const std::string& wb = Part("xl/workbook.xml");
        for (size_t at = wb.find("<sheet "); at != std::string::npos;
             at = wb.find("<sheet ", at + 1))
            names.push_back(Attribute(wb.substr(at, wb.find('>', at) - at), "name"));
        return names;
    }
    std::string Sheet(int number) const {
        return Part("xl/worksheets/sheet" + std::to_string(number) + ".xml");
    }

    // The cells of sheet `number` (from 1) by reference; a shared string is
    // given as its text.
    std::map<std::string, TCell> Cells(int number) const {
        std::map<std::string, TCell> cells;
        const std::string xml = Sheet(number);
        for (size_t at = xml.find("<c "); at != std::string::npos; at = xml.find("<c ", at + 1)) {
            const size_t close = xml.find('>', at);
            const std::string tag = xml.substr(at, close - at);
            TCell cell;
            cell.Type = Attribute(tag, "t");
            const std::string s = Attribute(tag, "s");
            cell.Style = s.empty() ? 0 : std::atoi(s.c_str());
            if (xml[close - 1] != '/') {
                const size_t end = xml.find("</c>", close);
                const std::string inner = xml.substr(close + 1, end - close - 1);
                cell.Value = Unescape(Text(inner, cell.Type == "inlineStr" ? "t" : "v"));
                if (cell.Type == "s") {
                    cell.Value = SharedString(std::atoi(cell.Value.c_str()));
                }
            }
            cells[Attribute(tag, "r")] = cell;
        }
        return cells;
    }

    std::string NumberFormat(int style) const {
        const int id = Xf(style).NumFmt;
        auto it = fFormats.find(id);
        if (it != fFormats.end()) return it->second;
        switch (id) {
        case 0:
            return "General";
        case 1:
            return "0";
        case 2:
            return "0.00";
        case 3:
            return "#,##0";
        case 4:
            return "#,##0.00";
        case 14:
            return "m/d/yyyy";
        default:
            return "builtin " + std::to_string(id);
        }
    }
    bool Wrapped(int style) const { return Xf(style).Wrap; }
    bool Bold(int style) const { return Font(style).find("<b/>") != std::string::npos; }
    bool Italic(int style) const { return Font(style).find("<i/>") != std::string::npos; }
    // The font colour as RRGGBB, or empty for the automatic colour.
    std::string Color(int style) const {
        const std::string f = Font(style);
        const size_t at = f.find("<color rgb=\"");
        if (at == std::string::npos) return std::string();
        return f.substr(at + 14, 6);
    }

private:
    struct TXf {
        int NumFmt = 0;
        int Font = 0;
        bool Wrap = false;
    };

    static std::string Text(const std::string& inner, const std::string& element) {
        const size_t open = inner.find("<" + element);
        if (open == std::string::npos) return std::string();
        const size_t from = inner.find('>', open) + 1;
        return inner.substr(from, inner.find("</" + element + ">", from) - from);
    }

    std::string SharedString(int index) const {
        const std::string& sst = Part("xl/sharedStrings.xml");
        size_t at = 0;
        for (int i = 0; i <= index; ++i)
            at = sst.find("<si>", at) + 4;
        return Unescape(Text(sst.substr(at, sst.find("</si>", at) - at), "t"));
    }

    void ReadStyles() {
        if (!Has("xl/styles.xml")) return;
        const std::string& st = Part("xl/styles.xml");
        for (size_t at = st.find("<numFmt "); at != std::string::npos;
             at = st.find("<numFmt ", at + 1)) {
            const std::string tag = st.substr(at, st.find('>', at) - at);
            fFormats[std::atoi(Attribute(tag, "numFmtId").c_str())] = Attribute(tag, "formatCode");
        }
        const size_t fonts = st.find("<fonts");
        for (size_t at = st.find("<font>", fonts);
             at != std::string::npos && at < st.find("</fonts>"); at = st.find("<font>", at + 1))
            fFonts.push_back(st.substr(at, st.find("</font>", at) - at));
        const size_t xfs = st.find("<cellXfs");
        const size_t xfsEnd = st.find("</cellXfs>");
        for (size_t at = st.find("<xf ", xfs); at != std::string::npos && at < xfsEnd;
             at = st.find("<xf ", at + 1)) {
            const size_t close = st.find('>', at);
            const std::string tag = st.substr(at, close - at);
            TXf xf;
            xf.NumFmt = std::atoi(Attribute(tag, "numFmtId").c_str());
            xf.Font = std::atoi(Attribute(tag, "fontId").c_str());
            if (st[close - 1] != '/') {
                const std::string inner = st.substr(close, st.find("</xf>", close) - close);
                xf.Wrap = inner.find("wrapText=\"1\"") != std::string::npos;
            }
            fXfs.push_back(xf);
        }
    }
    TXf Xf(int style) const {
        return style >= 0 && static_cast<size_t>(style) < fXfs.size()
                   ? fXfs[static_cast<size_t>(style)]
                   : TXf();
    }
    std::string Font(int style) const {
        const int f = Xf(style).Font;
        return f >= 0 && static_cast<size_t>(f) < fFonts.size() ? fFonts[static_cast<size_t>(f)]
                                                                : std::string();
    }

    std::map<std::string, std::string> fParts;
    std::map<int, std::string> fFormats;
    std::vector<std::string> fFonts;
    std::vector<TXf> fXfs;
};

} // namespace xlsx

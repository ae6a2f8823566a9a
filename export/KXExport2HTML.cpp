#include "export/KXExport2HTML.h"

#include "data/base/DatabaseError.h"
#include "data/base/TextUtils.h"
#include "data/locale/NumberFormat.h"
#include "export/JpegWriter.h"
#include "export/view/BmpImage.h"
#include "export/view/GridGlyphs.h"

#include <array>

namespace {

constexpr int JpegQuality = 90;

void AppendHex2(std::string& out, int v) {
    static const char Hex[] = "0123456789ABCDEF";
    out += Hex[(v >> 4) & 15];
    out += Hex[v & 15];
}

void AppendRgb(std::string& out, TColor rgb) {
    AppendHex2(out, GetRValue(rgb));
    AppendHex2(out, GetGValue(rgb));
    AppendHex2(out, GetBValue(rgb));
}

void AppendColor(std::string& out, TColor color) {
    AppendRgb(out, ColorToRGB(color)); // clNone and clDefault give black
}

// The four characters that HTML reads as markup, as entities. One pass gives
// the same text as replacing "&" first and then the others, since no entity
// holds another of the characters. The entities end with a semicolon: without
// it an HTML parser reads "&ltb" as an unknown entity "ltb" and shows it as
// it stands, and a browser turns a text such as "<imes;" into another sign.
// Most texts hold none of them: runs between them are copied whole.
void AppendEscaped(std::string& out, std::string_view text) {
    static constexpr auto Marks = [] {
        std::array<bool, 256> m{};
        m['&'] = m['<'] = m['>'] = m['"'] = true;
        return m;
    }();
    const char* p = text.data();
    const char* const end = p + text.size();
    const char* run = p;
    for (; p != end; ++p) {
        if (!Marks[static_cast<unsigned char>(*p)]) continue;
        out.append(run, static_cast<size_t>(p - run));
        switch (*p) {
        case '&':
            out.append("&amp;", 5);
            break;
        case '<':
            out.append("&lt;", 4);
            break;
        case '>':
            out.append("&gt;", 4);
            break;
        default:
            out.append("&quot;", 6);
            break;
        }
        run = p + 1;
    }
    out.append(run, static_cast<size_t>(end - run));
}

// A folder name as part of a relative URL: the characters that would end or
// change the URL (or the attribute holding it) percent-encoded, everything
// else as it is.
void AppendUrlPath(std::string& out, std::string_view name) {
    static const char Hex[] = "0123456789ABCDEF";
    for (char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if (c <= ' ' || c == '%' || c == '#' || c == '?' || c == '"' || c == '&' || c == '<' ||
            c == '>' || c == '\\' || c == 127) {
            out += '%';
            out += Hex[c >> 4];
            out += Hex[c & 15];
        } else {
            out += ch;
        }
    }
}

} // namespace

TKXExport2HTML::TKXExport2HTML() = default;

const char* TKXExport2HTML::AlignmentName(TAlignment alignment) {
    switch (alignment) {
    case taRightJustify:
        return "RIGHT";
    case taCenter:
        return "CENTER";
    default:
        return "LEFT";
    }
}

std::string TKXExport2HTML::HTMLColor(TColor color) {
    std::string s;
    AppendColor(s, color);
    return s;
}

void TKXExport2HTML::WriteHeader() {
    fImageCounter = 0;
    fGlyphsPresent = 0;
    fCellColumns.clear();
    fCellWidths.clear();
    fMarkup.clear();
    fRow.clear();
    fImageFolder.clear();
    fImageFolderRef.clear();
    if (!FileName().empty()) {
        // people.htm -> people_files beside it.
        const std::string& path = FileName();
        const size_t slash = path.rfind('/');
        const size_t baseStart = slash == std::string::npos ? 0 : slash + 1;
        std::string base = path.substr(baseStart);
        const size_t dot = base.rfind('.');
        if (dot != std::string::npos) base.erase(dot);
        base += "_files";
        fImageFolder = path.substr(0, baseStart) + base;
        AppendUrlPath(fImageFolderRef, base);
    }
    fPictures.Reset(fImageFolder);

    WriteLn("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\">");
    WriteLn("<HTML>");
    WriteLn("<HEAD>");
    if (!fHTMLEncoding.empty())
        WriteLn("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=" + fHTMLEncoding +
                "\">");
    if (!Trim(fTitle).empty()) {
        // Escaped: a table's file name may hold "&" or "<".
        std::string line = "<TITLE>";
        AppendEscaped(line, fTitle);
        line += "</TITLE>";
        WriteLn(line);
    }
    WriteLn("</HEAD>");
    WriteLn("<BODY BGCOLOR=\"#FFFFFF\" TEXT=\"#000000\">");
    if (BeforeWriteTable) BeforeWriteTable(*this);

    const TTableView& grid = *Grid();
    std::string line = "<TABLE ";
    if ((grid.Options() & (dgColLines | dgRowLines)) == 0)
        line += "BORDER=0 CELLSPACING=0 CELLPADDING=";
    else if (grid.Ctl3D())
        line += "BORDER=1 CELLSPACING=0 CELLPADDING=";
    else
        line += "BORDER=0 CELLSPACING=1 CELLPADDING=";
    line += grid.Flat() ? "1" : "2";
    line += " BGCOLOR=#";
    AppendColor(line, grid.FixedColor());
    line += '>';
    WriteLn(line);
}

void TKXExport2HTML::WriteTitle() {
    const TMappings& mappings = Mappings();
    if (mappings.Empty()) return;
    WriteLn("<TR>");
    for (int copy = 0; copy < DestCols(); ++copy) {
        for (int i = 0; i < mappings.Count(); ++i) {
            const TColumn& column = MappedColumn(i);
            fLine.assign("  <TD WIDTH=");
            AppendInt(fLine, column.Width());
            fLine += " ALIGN=\"";
            fLine += AlignmentName(column.TitleAlignment());
            fLine += "\">";
            AppendFontText(fLine, column.TitleFont(), mappings.ValueFromIndex(i));
            fLine += "</TD>";
            WriteLn(fLine);
        }
    }
    WriteLn("</TR>");
}

// A record's cells are gathered and written at once; the stream holds whole
// records, also when a cell fails.
void TKXExport2HTML::WriteRecord() {
    fRow.clear();
    if (WrittenCount() % DestCols() == 0) fRow += "<TR>\r\n";
    fCellIndex = 0;
    GatherRecord(fRow);
    if (WrittenCount() % DestCols() == 0) fRow += "</TR>\r\n";
    Write(fRow);
}

// A column's width is worked out from font metrics when it was never set;
// it cannot change while the walk runs, so each entry's is taken once.
int TKXExport2HTML::CellWidth(TColumn& column) {
    const auto slot = static_cast<size_t>(fCellIndex);
    if (slot < fCellColumns.size() && fCellColumns[slot] == &column) return fCellWidths[slot];
    const int width = column.Width();
    if (Exporting() && slot == fCellColumns.size()) {
        fCellColumns.push_back(&column);
        fCellWidths.push_back(width);
    }
    return width;
}

void TKXExport2HTML::WriteCell(TColumn& column) {
    const TDBGridCellParams& params = CellParams();
    const int width = CellWidth(column);
    const auto slot = static_cast<size_t>(fCellIndex);
    ++fCellIndex;
    fTag.clear();
    const bool image = ImageTag(column, fTag);
    if (!InRecord()) fRow.clear();
    if (slot >= fMarkup.size()) fMarkup.resize(slot + 1);
    TCellMarkup& m = fMarkup[slot];

    // The markup around the text is kept per entry with what it was made
    // from; a cell whose hook changed any of it gets its own.
    const int align = image ? -1 : static_cast<int>(params.Alignment);
    const TColor background = ColorToRGB(params.Background);
    if (m.Open.empty() || m.Width != width || m.Align != align || m.Background != background) {
        m.Width = width;
        m.Align = align;
        m.Background = background;
        m.Open.assign(" <TD WIDTH=");
        AppendInt(m.Open, width);
        m.Open += " ALIGN=\"";
        m.Open += image ? "CENTER" : AlignmentName(params.Alignment);
        m.Open += "\" BGCOLOR=#";
        AppendRgb(m.Open, background);
        m.Open += '>';
    }
    fRow += m.Open;
    if (image) {
        fRow += fTag;
        fRow += "</TD>\r\n";
    } else {
        const TFont& font = params.Font ? *params.Font : column.Font();
        const TColor color = ColorToRGB(font.Color);
        if (m.FontOpen.empty() || m.FontColor != color || m.FontSize != font.Size ||
            m.FontStyle != font.Style || m.FontName != font.Name) {
            m.FontColor = color;
            m.FontSize = font.Size;
            m.FontStyle = font.Style;
            m.FontName = font.Name;
            m.FontOpen.clear();
            AppendFontOpen(m.FontOpen, font);
            m.FontClose.clear();
            AppendFontClose(m.FontClose, font);
            m.FontClose += "</TD>\r\n";
        }
        fRow += m.FontOpen;
        if (params.Text.empty())
            fRow += "&nbsp;";
        else
            AppendEscaped(fRow, params.Text);
        fRow += m.FontClose;
    }
    if (!InRecord()) Write(fRow);
}

void TKXExport2HTML::WriteFooter() {
    WriteLn("</TABLE>");
    if (AfterWriteTable) AfterWriteTable(*this);
    WriteLn("</BODY>");
    WriteLn("</HTML>");
}

void TKXExport2HTML::FontText(const TFont& font, std::string_view text) {
    std::string s;
    AppendFontText(s, font, text);
    Write(s);
}

void TKXExport2HTML::AppendFontText(std::string& out, const TFont& font,
                                    std::string_view text) const {
    AppendFontOpen(out, font);
    if (text.empty())
        out += "&nbsp;";
    else
        AppendEscaped(out, text);
    AppendFontClose(out, font);
}

void TKXExport2HTML::AppendFontOpen(std::string& out, const TFont& font) {
    out += "<FONT STYLE=\"font-family: ";
    AppendEscaped(out, font.Name);
    out += "; font-size: ";
    AppendInt(out, font.Size);
    out += "pt; color: #";
    AppendColor(out, font.Color);
    out += "\">";
    if (font.Style & fsBold) out += "<B>";
    if (font.Style & fsItalic) out += "<I>";
    if (font.Style & fsUnderline) out += "<U>";
    if (font.Style & fsStrikeOut) out += "<STRIKE>";
}

void TKXExport2HTML::AppendFontClose(std::string& out, const TFont& font) {
    if (font.Style & fsBold) out += "</B>";
    if (font.Style & fsItalic) out += "</I>";
    if (font.Style & fsUnderline) out += "</U>";
    if (font.Style & fsStrikeOut) out += "</STRIKE>";
    out += "</FONT>";
}

bool TKXExport2HTML::ImageTag(TColumn& column, std::string& out) {
    if (!fIncludeImages || FileName().empty()) return false;
    const int kind = CellParams().ImageKind;
    if (kind == ikNone || (kind == ikMemo && IncludeMemo())) return false;

    // Member buffers: a column of glyphs costs no allocation per cell.
    std::string& fileName = fPictureName;
    fileName.assign("tbnexp");
    int width = 0, height = 0;
    const TGridGlyph* glyph = nullptr;
    if (kind == ikFieldPicture) {
        ++fImageCounter;
        const size_t at = fileName.size();
        AppendInt(fileName, fImageCounter);
        const size_t digits = fileName.size() - at;
        if (digits < 6) fileName.insert(at, 6 - digits, '0');
    } else {
        glyph = GridGlyphOfKind(kind);
        if (!glyph) return false; // no picture stands for this kind
        // Once its file is known to be there, a glyph's element never changes.
        if (kind < GlyphKinds && (fGlyphsPresent & (1u << kind)) != 0) {
            out += fGlyphTags[static_cast<size_t>(kind)];
            return true;
        }
        fileName += glyph->Name;
        width = glyph->Width;
        height = glyph->Height;
    }
    fileName += ".jpg";

    const unsigned glyphBit = glyph ? 1u << kind : 0;

    bool present = glyph && ((fGlyphsPresent & glyphBit) != 0 || fPictures.Has(fileName));
    if (!present) {
        // One level only; when it cannot be made, no file is there and the
        // cell keeps its text.
        if (!fPictures.Prepare()) return false;
        fImage.Clear();
        if (glyph) {
            RenderGridGlyph(*glyph, clWhite, fImage);
        } else if (const TField* field = column.Field()) {
            field->GetData(fPicture);
            if (fPicture.Kind == TValueKind::Bytes || fPicture.Kind == TValueKind::Text) {
                try {
                    LoadBmpImage(fPicture.Text, fImage);
                } catch (const EInvalidGraphic&) {
                    fImage.Clear(); // not a picture: the cell shows its text
                }
            }
        }
        if (!fImage.Empty()) {
            SaveJpegFile(fImage, fPictures.PathOf(fileName), JpegQuality);
            width = fImage.Width;
            height = fImage.Height;
            present = true;
        }
    }
    if (width <= 0 || !present) return false;
    fGlyphsPresent |= glyphBit;

    const size_t tagAt = out.size();
    out += "<img src=\"";
    out += fImageFolderRef;
    out += '/';
    out += fileName;
    out += "\" width=\"";
    AppendInt(out, width);
    out += "\" height=\"";
    AppendInt(out, height);
    out += "\">";
    if (glyph && kind < GlyphKinds) fGlyphTags[static_cast<size_t>(kind)].assign(out, tagAt);
    return true;
}

void TKXExport2HTML::CommitCompanions(const std::function<void()>& putDocument) {
    fPictures.Commit(putDocument);
}

void TKXExport2HTML::DiscardCompanions() {
    fPictures.Discard();
}

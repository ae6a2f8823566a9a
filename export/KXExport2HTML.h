#pragma once

#include "export/KXExport.h"
#include "export/PictureFolder.h"
#include "export/view/RgbImage.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

// An HTML 3.2 document holding one table that looks like the grid: the
// title colour behind the table, each column's width and alignment, each
// cell's background, and each text's font. With IncludeImages and a file as
// target, cells shown as pictures or glyphs become JPEG files in a folder
// beside the document ("people_files" beside "people.htm").
class TKXExport2HTML : public TKXExport {
public:
    TKXExport2HTML();

    bool IncludeImages() const { return fIncludeImages; }
    void SetIncludeImages(bool v) { fIncludeImages = v; }
    // The document title; none is written when it is blank.
    const std::string& Title() const { return fTitle; }
    void SetTitle(std::string v) { fTitle = std::move(v); }
    // The charset the document names in a META line; empty writes none.
    // The program's text is UTF-8, so that is what it names by default:
    // without it a browser reads the page in a legacy code page.
    const std::string& HTMLEncoding() const { return fHTMLEncoding; }
    void SetHTMLEncoding(std::string v) { fHTMLEncoding = std::move(v); }
    // Pictures numbered so far in this export.
    int ImageCounter() const { return fImageCounter; }

    static const char* AlignmentName(TAlignment alignment);
    // Six upper-case hex digits, red first; system colours resolved.
    static std::string HTMLColor(TColor color);

protected:
    void WriteHeader() override;
    void WriteFooter() override;
    void WriteTitle() override;
    void WriteRecord() override;
    void WriteCell(TColumn& column) override;
    void CommitCompanions(const std::function<void()>& putDocument) override;
    void DiscardCompanions() override;

    // Writes the text inside a FONT element and the font's style elements.
    void FontText(const TFont& font, std::string_view text);

private:
    void AppendFontText(std::string& out, const TFont& font, std::string_view text) const;
    static void AppendFontOpen(std::string& out, const TFont& font);
    static void AppendFontClose(std::string& out, const TFont& font);
    // Appends the img element for the current cell and returns true, or
    // returns false when the cell shows its text.
    bool ImageTag(TColumn& column, std::string& out);
    int CellWidth(TColumn& column);

    int fImageCounter = 0;
    bool fIncludeImages = false;
    std::string fTitle;
    std::string fHTMLEncoding = "UTF-8";

    // Per export.
    std::string fLine; // the title cell being built
    std::string fRow;  // the record being built
    // A cell's markup before and after its text, with what it was made from
    // (colours resolved).
    struct TCellMarkup {
        int Width = 0;
        int Align = 0; // TAlignment, or -1 for a picture
        TColor Background = 0;
        std::string Open;
        std::string FontName;
        int FontSize = 0;
        unsigned FontStyle = 0;
        TColor FontColor = 0;
        std::string FontOpen;
        std::string FontClose; // ends the cell too
    };
    std::vector<TCellMarkup> fMarkup;   // per mapping entry
    std::string fTag;                   // the img element of the cell
    int fCellIndex = 0;                 // the mapping entry of the cell being written
    std::vector<TColumn*> fCellColumns; // per entry, the column whose width is cached
    std::vector<int> fCellWidths;
    std::string fImageFolder;    // path of the pictures folder
    std::string fImageFolderRef; // its name as the img elements refer to it
    unsigned fGlyphsPresent = 0; // per glyph kind, its file is known to be there
    static constexpr int GlyphKinds = 8;
    std::array<std::string, GlyphKinds> fGlyphTags; // per kind, its img element once present
    std::string fPictureName;                       // file name of the cell's picture
    TPictureFolder fPictures;
    TRgbImage fImage;
    TValue fPicture;
};

#pragma once

#include "export/KXExport.h"
#include "export/SpillStream.h"

#include <memory>

#include <string>
#include <string_view>
#include <vector>

// A Rich Text document holding one table that looks like the grid: the
// columns' widths, a thin black border around every cell, the cells' colours
// as shading and their text in the cell's font and alignment. The body is
// rendered first (into memory, and past a few megabytes into a temporary file
// beside the document) while the fonts and colours in use are
// collected; the head with the colour and font tables is written after it is
// complete, so the tables hold everything the body uses.
class TKXExport2RTF : public TKXExport {
public:
    TKXExport2RTF();

    void ExportToStream(TStream& stream) override;

protected:
    void WriteHeader() override {} // the head follows the body: see ExportToStream
    void WriteFooter() override;
    void WriteTitle() override;
    void WriteRecord() override;
    void WriteCell(TColumn& column) override;

    // The number of a colour (any TColor, resolved to RGB) in the colour
    // table, entered when new.
    int ColorNumber(TColor color);
    // The number of a font name in the font table (names compare without
    // case), entered when new.
    int FontNumber(const std::string& name);

private:
    void LayOut();
    void Release(); // frees the body and forgets the layout after an export
    // Row definition for the cells whose shading colour numbers are in fShading.
    void WriteRowDefinition();
    void WriteCellLine(TAlignment alignment, const TFont& font, TColor background,
                       std::string_view text);
    void ShadeFromCurrentRecord();
    void AppendText(std::string_view text);
    void AppendInt(int64_t v);

    std::unique_ptr<TSpillStream> fBody; // the body while it is rendered
    std::vector<TColor> fColors;     // RGB, in order of first use
    std::vector<std::string> fFonts; // names, in order of first use
    // Per mapping, the grid column and its width in twips; set on first use
    // in each export.
    std::vector<int> fColumns;
    std::vector<int64_t> fTwips;
    bool fLaidOut = false;
    std::vector<int> fShading; // colour numbers of the row being defined
    std::string fLine;         // the piece being assembled, written at once
    TDBGridCellParams fAhead;  // cell preparation for the row definition
    TFont fAheadFont;
};

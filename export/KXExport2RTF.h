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
// complete, so the tables hold everything the body uses, and after a failure
// the stream holds nothing of the document.
//
// When the cells take their fonts and colours from their columns (no cell
// hook) and the stream can take back what it was given (a file, memory), the
// tables are complete after the first record: the head goes out then and the
// rest of the body straight after it. Should a font or colour that the head
// lacks turn up all the same (a handler changed a column during the walk),
// the body written so far is read back and the head waits for the end
// again; after a failure the stream is cut back to where the document began.
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
    // The control words of a cell before its text, with what they were made
    // from (colours resolved).
    struct TCellFormat {
        TAlignment Alignment = taLeftJustify;
        bool Flat = false;
        int Size = 0;
        unsigned Style = 0;
        TColor Color = 0;
        TColor Background = 0;
        std::string Name;
        std::string Prefix;
    };

    void LayOut();
    void Release(); // frees the body and forgets the layout after an export
    bool CellsFromColumns() const;
    void GoDirect();
    void TakeBackBody();
    std::string SpillFolder() const;
    void Emit(std::string_view text); // to the body's present target
    void AppendHead();
    // Row definition for the cells whose shading colour numbers are in fShading.
    void AppendRowDefinition();
    // cache: the entry's format kept from its last cell, or none (titles).
    void AppendCellLine(TAlignment alignment, const TFont& font, TColor background,
                        std::string_view text, TCellFormat* cache);
    void ShadeFromCurrentRecord();
    void AppendText(std::string_view text);
    void AppendInt(int64_t v);

    std::unique_ptr<TSpillStream> fBody; // the body while it is rendered
    TStream* fTarget = nullptr;          // the document, during an export
    TStream* fOut = nullptr;             // where the body goes: fBody or fTarget
    bool fDirect = false;                // the head is out, the body follows it
    bool fMayGoDirect = false;           // the document's stream can be cut back
    uint64_t fDocumentStart = 0;         // where the document begins in it
    uint64_t fBodyStart = 0;             // where the body follows the head, when direct
    std::vector<TColor> fColors;         // RGB, in order of first use
    std::vector<std::string> fFonts;     // names, in order of first use
    // Per mapping, the grid column and its width in twips; set on first use
    // in each export.
    std::vector<int> fColumns;
    std::vector<int64_t> fTwips;
    bool fLaidOut = false;
    std::vector<int> fShading;         // colour numbers of the row being defined
    std::string fLine;                 // the piece being assembled, written at once
    size_t fCellIndex = 0;             // the mapping entry of the cell being written
    std::vector<TCellFormat> fFormats; // per mapping entry
    std::vector<int> fRowShading;      // what fRowDefinition was made for
    std::string fRowDefinition;
    TDBGridCellParams fAhead; // cell preparation for the row definition
    TFont fAheadFont;
};

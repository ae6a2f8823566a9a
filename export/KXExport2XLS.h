#pragma once

#include "export/KXExport.h"
#include "export/SpreadsheetApplication.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// A one-sheet spreadsheet as the bare worksheet record stream of the Excel 5
// generation: a start record, one record per cell, an end record. Numbers
// are stored as numbers, everything else as the cell's text. Integers that
// a double cannot hold exactly (past 2^53) keep their digits as text.
//
// Text: when every text of the document has a windows-1252 byte for each
// character, the texts are stored as those bytes (the 8-bit stream that
// readers take as windows-1252). Otherwise the whole document is written as
// BIFF8 (start record version 0x0600) with every text as a UTF-16 string,
// so that no character is lost. The choice needs every text, so records are
// held in memory until the end or until a text needs UTF-16; the row limit
// below bounds what is held.
//
// Limits of the record fields: a text longer than one record holds (65,527
// bytes, or 32,763 UTF-16 units in BIFF8) is cut at the last whole character
// that fits; a cell past row 65,535 or column 65,535 stops the export with an
// error instead of wrapping round onto earlier cells.
//
// ToStream false takes the automation path instead: a spreadsheet
// application filled cell by cell (see TSpreadsheetApplication).
class TKXExport2XLS : public TKXExport {
public:
    TKXExport2XLS();
    ~TKXExport2XLS() override;

    // Automation path only: save under the file name and quit the
    // application (true), or leave it open and visible (false).
    bool CreateFile() const { return fCreateFile; }
    void SetCreateFile(bool v) { fCreateFile = v; }
    // True: the record stream; false: the automation path.
    bool ToStream() const { return fToStream; }
    void SetToStream(bool v) { fToStream = v; }

    // Where the automation path gets its application; empty: this
    // platform's CreateSpreadsheetApplication.
    void SetAutomationFactory(TSpreadsheetFactory factory) { fFactory = std::move(factory); }
    // The application of the last automation export, kept until the next
    // one or the writer's end.
    TSpreadsheetApplication* Automation() const { return fAutomation.get(); }

    void ExportToStream(TStream& stream) override;
    void ExportToFile(const std::string& path) override;

    static constexpr uint32_t MaxRow = 0xFFFF;
    static constexpr uint32_t MaxColumn = 0xFFFF;
    static constexpr size_t MaxLabelBytes = 0xFFFF - 8;
    static constexpr size_t MaxLabelUnits = (0xFFFF - 9) / 2;

protected:
    void WriteHeader() override;
    void WriteFooter() override;
    void WriteTitle() override;
    void WriteCell(TColumn& column) override;

private:
    void WriteBlank();
    void WriteInteger(int64_t value);
    void WriteNumber(double value);
    void WriteLabel(std::string_view text);
    // The label in fUnits as a BIFF8 record appended to `out`.
    void AppendUnicodeLabel(std::string& out, uint16_t row, uint16_t column);
    void CheckPosition() const;
    void Advance();
    void Emit(const std::string& record);
    void SwitchToUnicode();
    void Flush();

    void ExportThroughAutomation(const std::string& path);
    void AutomationTitle(TSpreadsheetApplication& app, int& row);
    void AutomationRecord(TSpreadsheetApplication& app, int& row);

    bool fCreateFile = true;
    bool fToStream = true;
    uint32_t fRow = 0;
    uint32_t fCol = 0;
    TStream* fTarget = nullptr;
    bool fUnicode = false; // BIFF8 chosen; records go straight to fTarget
    std::string fPending;  // records while every text fits windows-1252
    std::string fRecord;   // the record being assembled
    std::u16string fUnits; // a text as UTF-16
    std::string fValue;    // a cell's text on the automation path
    TSpreadsheetFactory fFactory;
    std::unique_ptr<TSpreadsheetApplication> fAutomation;
};

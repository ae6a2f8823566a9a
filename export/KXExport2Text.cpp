#include "export/KXExport2Text.h"

#include "data/base/Unicode.h"

#include <cstring>
#include <typeinfo>

TKXExport2Text::TKXExport2Text() = default;

void TKXExport2Text::SetSeparator(std::string_view v) {
    // No separator at all would glue the cells together.
    if (v.empty()) v = "\t";
    size_t n = Utf8CharLength(v);
    if (n == 0) {
        v = "\xEF\xBF\xBD";
        n = v.size();
    }
    std::memcpy(fSeparator, v.data(), n);
    fSeparatorSize = n;
}

void TKXExport2Text::ExportToStream(TStream& stream) {
    fFirstLine = true;
    // Records read ahead come joined as this writer joins cells (WriteRecord).
    SetCellJoiner(typeid(*this) == typeid(TKXExport2Text) ? std::string(Separator())
                                                          : std::string());
    TKXExport::ExportToStream(stream);
}

void TKXExport2Text::WriteLineBreak() {
    if (fFirstLine)
        fFirstLine = false;
    else
        Write("\r\n");
}

void TKXExport2Text::WriteSeparator() {
    if (fFirstField)
        fFirstField = false;
    else
        Write(std::string_view(fSeparator, fSeparatorSize));
}

void TKXExport2Text::WriteTitle() {
    WriteLineBreak();
    fFirstField = true;
    const TMappings& mappings = Mappings();
    for (int copy = 0; copy < DestCols(); ++copy) {
        for (int i = 0; i < mappings.Count(); ++i) {
            WriteSeparator();
            Write(mappings.ValueFromIndex(i));
        }
    }
}

void TKXExport2Text::WriteRecord() {
    // The plain writer needs only the cells' texts, as long as nothing can
    // change a cell and no writer derived from this one wants its own
    // WriteCell, WriteSeparator or WriteLineBreak: the record is then
    // gathered in one buffer and written at once.
    if (typeid(*this) == typeid(TKXExport2Text) && CellTextsOnly()) {
        const bool sameLine = WrittenCount() % DestCols() != 0;
        // A record read ahead whole goes from the reader's chunk to the
        // stream, without a copy of its own.
        std::string_view joined;
        if (TakeJoinedRecord(Separator(), joined)) {
            if (sameLine)
                Write(Separator());
            else if (fFirstLine)
                fFirstLine = false;
            else
                Write("\r\n");
            Write(joined);
            fFirstField = false;
            return;
        }
        size_t used = 0;
        fFirstField = true;
        if (sameLine)
            fFirstField = false;
        else if (fFirstLine)
            fFirstLine = false;
        else
            used = PutBytes(fLine, used, "\r\n");
        used = PutRecordTexts(fLine, used, Separator(), fFirstField);
        Write(std::string_view(fLine.data(), used));
        return;
    }
    fFirstField = true;
    // Place 0 starts a new line; any other place only clears FirstField, so
    // that the record's first cell follows the previous record's last.
    if (WrittenCount() % DestCols() == 0)
        WriteLineBreak();
    else
        WriteSeparator();
    TKXExport::WriteRecord();
}

void TKXExport2Text::WriteCell(TColumn& column) {
    (void)column;
    WriteSeparator();
    Write(CellParams().Text);
}

void TKXExport2Text::WriteFooter() {
    Write("\r\n");
}

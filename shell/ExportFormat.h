#pragma once

#include <vector>

// What the user picks a format by: the export options dialog's item and the
// save dialog's filter and default extension, per FormatType.
struct TExportFormat {
    int Type;              // the FormatType setting
    const char* Item;      // "Text", "HTML", ... as the options dialog lists them
    const char* Filter;    // "HTML documents (*.htm)|*.htm"
    const char* Extension; // "htm", without the dot
};

// Every format, in the dialog's order (the index is the FormatType).
const std::vector<TExportFormat>& ExportFormats();
// The format of a FormatType; Text for a value that names none.
const TExportFormat& ExportFormatOf(int formatType);

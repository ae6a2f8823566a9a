#include "shell/ExportFormat.h"

#include "shell/Settings.h"

const std::vector<TExportFormat>& ExportFormats() {
    static const std::vector<TExportFormat> formats = {
        {fmtText, "Text", "Text documents (*.txt)|*.txt", "txt"},
        {fmtHTML, "HTML", "HTML documents (*.htm)|*.htm", "htm"},
        {fmtXML, "XML", "XML documents (*.xml)|*.xml", "xml"},
        {fmtRTF, "RTF", "RTF documents (*.rtf)|*.rtf", "rtf"},
        {fmtXLS, "XLS", "XLS documents (*.xls)|*.xls", "xls"},
        {fmtXLSX, "XLSX", "XLSX workbooks (*.xlsx)|*.xlsx", "xlsx"},
    };
    return formats;
}

const TExportFormat& ExportFormatOf(int formatType) {
    const std::vector<TExportFormat>& formats = ExportFormats();
    for (const TExportFormat& f : formats)
        if (f.Type == formatType) return f;
    return formats.front();
}

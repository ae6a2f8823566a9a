#include "shell/ExportCommand.h"

#include "export/KXExport2HTML.h"
#include "export/KXExport2RTF.h"
#include "export/KXExport2Text.h"
#include "export/KXExport2XLS.h"
#include "export/KXExport2XLSX.h"
#include "export/KXExport2XML.h"

#include <filesystem>

std::unique_ptr<TKXExport> CreateExportWriter(int formatType) {
    switch (formatType) {
    case fmtHTML:
        return std::make_unique<TKXExport2HTML>();
    case fmtXML:
        return std::make_unique<TKXExport2XML>();
    case fmtRTF:
        return std::make_unique<TKXExport2RTF>();
    case fmtXLS:
        return std::make_unique<TKXExport2XLS>();
    case fmtXLSX:
        return std::make_unique<TKXExport2XLSX>();
    default:
        return std::make_unique<TKXExport2Text>();
    }
}

std::string ExportProgressText(int written) {
    if (written <= 0 || written % 100 != 0) return std::string();
    return std::to_string(written) + " records copied";
}

int RunExport(TShellState& state, const std::string& fileName, TExportActions* actions) {
    const TSettings& s = state.Settings;
    TRecordRange range = s.RangeType == 2 || s.RangeType == 3 ? rrToLast : rrAll;
    int maxRows = s.RangeType == 2 ? 1 : -1;
    TTableView& grid = state.Grid();

    TMappings selectedColumn;
    bool oneColumn = s.RangeType == 1;
    if (oneColumn) {
        int i = grid.SelectedIndex();
        if (i >= 0 && i < grid.ColumnCount())
            selectedColumn.Add(grid.Column(i).FieldName(), grid.Column(i).FieldName(), i);
    }

    std::unique_ptr<TKXExport> writer = CreateExportWriter(s.FormatType);
    if (auto* text = dynamic_cast<TKXExport2Text*>(writer.get()))
        // Its first character; an empty one gives a tab.
        text->SetSeparator(s.Separator);
    if (auto* html = dynamic_cast<TKXExport2HTML*>(writer.get())) {
        html->SetTitle(std::filesystem::path(state.CurrentFileName).stem().string());
        html->SetIncludeImages(s.IncludeImages);
    }
    if (auto* xlsx = dynamic_cast<TKXExport2XLSX*>(writer.get()))
        xlsx->SetSheetName(std::filesystem::path(state.CurrentFileName).stem().string());

    writer->SetGrid(&grid);
    if (oneColumn)
        writer->SetMappings(selectedColumn);
    else
        writer->BuildMappings();
    TProgress& progress = state.Progress();
    writer->AfterWriteRow = [&progress](TKXExport& sender) {
        std::string text = ExportProgressText(sender.WrittenCount());
        if (text.empty()) return;
        progress.Progress(text);
        progress.ProcessMessages();
    };
    writer->SetNeedTitle(s.IncludeColNames);
    writer->SetIncludeMemo(s.IncludeMemoData);
    writer->SetDestCols(s.RecsPerLine);
    writer->SetRecordRange(range);
    writer->SetMaxRows(maxRows);

    try {
        if (s.ActionType == actClipboard)
            writer->ExportToClipboard();
        else
            writer->ExportToFile(fileName);
    } catch (...) {
        progress.Progress(std::string());
        throw;
    }
    progress.Progress(std::string());
    int result = writer->WrittenCount();
    writer.reset();

    if (actions && s.ActionType == actMail) actions->MailFile(fileName);
    if (actions && s.ActionType == actOpen) actions->OpenFile(fileName);
    return result;
}

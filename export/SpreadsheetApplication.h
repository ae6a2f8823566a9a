#pragma once

#include "export/view/Color.h"

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

// A spreadsheet application could not be started or driven.
class EAutomationError : public std::runtime_error {
public:
    explicit EAutomationError(const std::string& message) : std::runtime_error(message) {}
};

// A running spreadsheet application, as the XLS writer's automation path
// drives it: a new workbook filled cell by cell, then saved or shown. Each
// operation stands for one automation call (or one chain of them, such as
// Cells(row, column).Font.Color); cells are addressed from 1.
class TSpreadsheetApplication {
public:
    virtual ~TSpreadsheetApplication() = default;
    // WorkBooks.Add: a new workbook becomes the active one.
    virtual void WorkbooksAdd() = 0;
    // Cells(row, column).Value.
    virtual void SetCellValue(int row, int column, const std::string& value) = 0;
    // Cells(row, column).Interior.Color, an RGB value.
    virtual void SetCellInteriorColor(int row, int column, TColor rgb) = 0;
    // Cells(row, column).Font.Bold, .Italic, .Underline and .StrikeThrough.
    virtual void SetCellFontStyle(int row, int column, bool bold, bool italic, bool underline,
                                  bool strikeThrough) = 0;
    // Cells(row, column).Font.Color, an RGB value.
    virtual void SetCellFontColor(int row, int column, TColor rgb) = 0;
    // ActiveWorkbook.SaveAs(fileName).
    virtual void ActiveWorkbookSaveAs(const std::string& fileName) = 0;
    virtual void Quit() = 0;
    virtual void SetVisible(bool visible) = 0;
};

// Starts the application; raises EAutomationError when there is none.
using TSpreadsheetFactory = std::function<std::unique_ptr<TSpreadsheetApplication>()>;

// The application of this platform ("Excel.Application" where OLE automation
// exists). Here there is none: it raises EAutomationError.
std::unique_ptr<TSpreadsheetApplication> CreateSpreadsheetApplication();

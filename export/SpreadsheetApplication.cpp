#include "export/SpreadsheetApplication.h"

std::unique_ptr<TSpreadsheetApplication> CreateSpreadsheetApplication() {
    throw EAutomationError("No spreadsheet application is available: the automation object "
                           "\"Excel.Application\" cannot be created on this system");
}

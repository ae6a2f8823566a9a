#include "controls/ErrorDisplay.h"

#include "controls/Utf8Text.h"

#include <QApplication>
#include <QMessageBox>

namespace {
TkxErrorHandler& Handler() {
    static TkxErrorHandler handler;
    return handler;
}
} // namespace

void SetErrorHandler(TkxErrorHandler handler) {
    Handler() = std::move(handler);
}

void ShowError(const std::string& message) {
    if (Handler()) {
        Handler()(message);
        return;
    }
    QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("Tabulon"),
                          ToQString(message));
}

void ShowCurrentException() {
    try {
        throw;
    } catch (const std::exception& e) {
        ShowError(e.what());
    } catch (...) {
        ShowError("Unknown error");
    }
}

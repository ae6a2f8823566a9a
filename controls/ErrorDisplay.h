#pragma once

#include <exception>
#include <functional>
#include <string>

class QWidget;

// Where a failure inside an event handler goes (a dataset operation behind
// a button click, say): it must not unwind through Qt's event loop, so the
// controls catch it and hand its message here. The default shows a message
// box titled "Tabulon" with the error icon; the program (or a test) may put
// its own handler in place.
using TkxErrorHandler = std::function<void(const std::string& message)>;
void SetErrorHandler(TkxErrorHandler handler); // empty: the message box again
void ShowError(const std::string& message);
// The message of the exception being handled (inside a catch block).
void ShowCurrentException();

// Runs f; a failure goes to the error handler.
template <class F> void RunGuarded(F&& f) {
    try {
        f();
    } catch (...) {
        ShowCurrentException();
    }
}

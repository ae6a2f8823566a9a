#pragma once

#include <string>

// Where long work (opening, sorting, filtering, exporting) tells how far it
// is: the window shows it in the status bar, the command line on standard
// error.
class TProgress {
public:
    virtual ~TProgress() = default;
    // A new progress text; an empty text clears it.
    virtual void Progress(const std::string& text) = 0;
    // Lets pending window messages run; nothing to do without a window.
    virtual void ProcessMessages() {}
};

#pragma once

#include "shell/ExportCommand.h"

// The export's e-mail and open actions on this desktop: a new message with
// the file attached (SendMail) and the desktop's program for the file.
// Raises with a message that says the document was written when no such
// program is set up.
class TDesktopExportActions : public TExportActions {
public:
    void MailFile(const std::string& path) override;
    void OpenFile(const std::string& path) override;
};

#include "shell/DesktopExportActions.h"

#include "controls/Utf8Text.h"
#include "shell/MailClient.h"

#include <QFileInfo>
#include <QUrl>

#include <stdexcept>

void TDesktopExportActions::MailFile(const std::string& path) {
    if (!SendMail(QString(), QString(), QString(), ToQString(path)))
        throw std::runtime_error("The document was written to \"" + path +
                                 "\", but no e-mail program is set up on this desktop to send it "
                                 "(xdg-mime names no handler of mailto links)");
}

void TDesktopExportActions::OpenFile(const std::string& path) {
    const QUrl url = QUrl::fromLocalFile(QFileInfo(ToQString(path)).absoluteFilePath());
    if (!OpenWithDesktop(url))
        throw std::runtime_error("The document was written to \"" + path +
                                 "\", but no program could be started to open it");
}

#pragma once

#include <QString>
#include <QUrl>

// Handing a file to the user's mail program. On Linux the desktop's mail
// handler through xdg-email; elsewhere, or when that is not set up, a
// mailto: link for the desktop to open.

// The mail program to start with the attachment: on Linux the path of
// xdg-email when a mailto handler is set up (xdg-mime names one), on
// Windows the quoted program of the mailto command; empty when none.
QString FindMailClient();

// "mailto:" address "?subject=" ... "&body=" ... "&file=" attachment, each
// part percent-encoded.
QUrl MailToUrl(const QString& address, const QString& subject, const QString& body,
               const QString& attachment);

// Asks the desktop to open a link or file (QDesktopServices, else
// xdg-open); false when nothing could be started.
bool OpenWithDesktop(const QUrl& url);

// Asks the desktop to open MailToUrl; false when it could not.
bool ComposeMailTo(const QString& address, const QString& subject, const QString& body,
                   const QString& attachment);

// A new message with the file attached (none when `attachment` is empty),
// through FindMailClient's program (started without a shell, not waited
// for) or else ComposeMailTo. False when no mail program could be asked (on
// Linux: no mailto handler).
bool SendMail(const QString& address, const QString& subject, const QString& body,
              const QString& attachment);

#include "shell/MailClient.h"

#include "data/base/KXUtils.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#ifdef _WIN32
#include <QSettings>
#endif

namespace {
#ifndef _WIN32
// The desktop file that handles mailto links, or empty.
QString MailtoHandler() {
    const QString query = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (query.isEmpty()) return QString();
    QProcess p;
    p.start(query, {QStringLiteral("query"), QStringLiteral("default"),
                    QStringLiteral("x-scheme-handler/mailto")});
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished(1000);
        return QString();
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) return QString();
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}
#endif
} // namespace

QString FindMailClient() {
#ifdef _WIN32
    auto text = [](const QString& key, const QString& name) {
        return QSettings(key, QSettings::NativeFormat).value(name).toString();
    };
    const QString command = text(QStringLiteral("HKEY_CLASSES_ROOT\\mailto\\shell\\open\\command"),
                                 QStringLiteral("."));
    const QString current =
        QStringLiteral("HKEY_LOCAL_MACHINE\\software\\microsoft\\windows\\currentversion");
    const QByteArray quoted = command.toUtf8();
    std::string path = ExtractBetween(std::string_view(quoted.constData(), quoted.size()), '"');
    const QByteArray programs = text(current, QStringLiteral("ProgramFilesDir")).toUtf8();
    const QByteArray root = text(current, QStringLiteral("SystemRoot")).toUtf8();
    path = ReplaceAllText(path, "%programfiles%", programs.constData(), true);
    path = ReplaceAllText(path, "%systemroot%", root.constData(), true);
    const QString result = QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()));
    return QFileInfo(result).isFile() ? result : QString();
#else
    const QString email = QStandardPaths::findExecutable(QStringLiteral("xdg-email"));
    if (email.isEmpty() || MailtoHandler().isEmpty()) return QString();
    return email;
#endif
}

QUrl MailToUrl(const QString& address, const QString& subject, const QString& body,
               const QString& attachment) {
    auto part = [](const QString& s) { return QString::fromLatin1(QUrl::toPercentEncoding(s)); };
    const QString text = QStringLiteral("mailto:") + part(address) + QStringLiteral("?subject=") +
                         part(subject) + QStringLiteral("&body=") + part(body) +
                         QStringLiteral("&file=") + part(attachment);
    return QUrl(text, QUrl::StrictMode);
}

bool OpenWithDesktop(const QUrl& url) {
    if (QDesktopServices::openUrl(url)) return true;
#ifndef _WIN32
    // Platform plugins without the desktop's services (offscreen, minimal)
    // still have the desktop's opener.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (!opener.isEmpty())
        return QProcess::startDetached(
            opener, {url.isLocalFile() ? url.toLocalFile() : url.toString(QUrl::FullyEncoded)});
#endif
    return false;
}

bool ComposeMailTo(const QString& address, const QString& subject, const QString& body,
                   const QString& attachment) {
    return OpenWithDesktop(MailToUrl(address, subject, body, attachment));
}

bool SendMail(const QString& address, const QString& subject, const QString& body,
              const QString& attachment) {
#ifndef _WIN32
    // Without a handler a mailto link would go nowhere (or to a browser).
    if (MailtoHandler().isEmpty()) return false;
#endif
    const QString client = FindMailClient();
    if (client.isEmpty()) return ComposeMailTo(address, subject, body, attachment);
#ifdef _WIN32
    return QProcess::startDetached(client,
                                   attachment.isEmpty() ? QStringList() : QStringList{attachment});
#else
    QStringList arguments;
    if (!subject.isEmpty()) arguments << QStringLiteral("--subject") << subject;
    if (!body.isEmpty()) arguments << QStringLiteral("--body") << body;
    // No attachment, no --attach: an empty name would attach the working folder.
    if (!attachment.isEmpty())
        arguments << QStringLiteral("--attach") << QFileInfo(attachment).absoluteFilePath();
    if (!address.isEmpty()) arguments << address;
    return QProcess::startDetached(client, arguments);
#endif
}

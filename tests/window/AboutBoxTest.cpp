// The about box, offscreen: the real system's name, the engines' and the
// driver manager's versions, and the links through stand-ins of the
// desktop's mail handler and opener on PATH.
#include "data/platform/ODBCUtils.h"
#include "shell/SystemVersion.h"
#include "shell/window/TAboutBox.h"
#include "shell/window/TForm1.h"

#include "controls/TKXButton.h"
#include "controls/TkxSoftButton.h"

#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {
QString Q(const char* s) {
    return QString::fromUtf8(s);
}

// Stand-ins of the desktop's programs: each records its arguments, one a
// line, in <name>.args.
QTemporaryDir* gTools = nullptr;

void WriteTool(const QString& name, const QByteArray& body) {
    QFile f(gTools->filePath(name));
    f.open(QIODevice::WriteOnly);
    f.write("#!/bin/sh\n" + body);
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void WriteRecorder(const QString& name) {
    WriteTool(name, "out=\"$(dirname \"$0\")/" + name.toUtf8() +
                        ".args\"\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$out.tmp\"\n"
                        "mv \"$out.tmp\" \"$out\"\n");
}

// The mailto handler xdg-mime reports; empty: none set up.
void SetMailHandler(const QByteArray& desktopFile) {
    WriteTool(Q("xdg-mime"), "echo " + desktopFile + "\n");
}

QString ArgsFile(const char* tool) {
    return gTools->filePath(Q(tool) + Q(".args"));
}

QStringList RecordedArguments(const char* tool) {
    const QString path = ArgsFile(tool);
    for (int i = 0; i < 100 && !QFile::exists(path); ++i)
        QTest::qWait(50);
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

// The PRETTY_NAME of /etc/os-release, read apart from Qt.
QString OsReleaseName() {
    QFile f(Q("/etc/os-release"));
    if (!f.open(QIODevice::ReadOnly)) return {};
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("PRETTY_NAME="))
            return QString::fromUtf8(line.mid(12)).remove(QLatin1Char('"')).trimmed();
    return {};
}

// Runs `act` on the next modal window once it shows.
void OnNextModal(std::function<void(QWidget*)> act) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || !w->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        act(w);
    });
    timer->start(10);
}
} // namespace

class AboutBoxTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        for (const char* tool : {"xdg-email", "xdg-open"})
            QFile::remove(ArgsFile(tool));
        SetMailHandler("thunderbird.desktop");
    }

    void versionsNameTheRealSystemAndEngines() {
        const QStringList lines = TAboutBox::VersionsText(true).split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 4);
        const QString os = OsReleaseName();
        if (!os.isEmpty()) QCOMPARE(lines[0], Q("OS:       ") + os);
        QCOMPARE(lines[0], Q("OS:       ") + QString::fromStdString(GetWindowsVersionName()));
        QVERIFY2(!lines[0].contains(Q("Windows")), qPrintable(lines[0]));
        QVERIFY(lines[0].size() > 12);
        QCOMPARE(lines[1], Q("ADO ver:  " TABULON_VERSION " (built in)"));
        QCOMPARE(lines[2], Q("BDE ver:  " TABULON_VERSION " (built in)"));
        QCOMPARE(TAboutBox::VersionsText(false).split(QLatin1Char('\n')).value(2),
                 Q("BDE ver:  " TABULON_VERSION " (built in, not started)"));
        // Without the driver manager its line stays empty.
        QVERIFY(!ODBCLoaded());
        QCOMPARE(lines[3], Q("ODBC ver: "));
        InitODBC();
        QVERIFY(ODBCLoaded());
        const QString odbc = TAboutBox::VersionsText(true).section(QLatin1Char('\n'), 3);
        DoneODBC();
        const QRegularExpression form(
            Q("^ODBC ver: \\d+\\.\\d+\\.\\d+ \\(unixODBC \\d+\\.\\d+, ODBC 3\\.\\d\\d\\)$"));
        QVERIFY2(form.match(odbc).hasMatch(), qPrintable(odbc));
    }

    void linksOpenTheMailProgramAndTheBrowser() {
        TAboutBox box(true);
        QCOMPARE(box.Links.size(), 3);
        QCOMPARE(box.Links[0]->text(), Q("tabulon@kessmark.example"));
        // A new message to the address, nothing attached.
        QTest::mouseClick(box.Links[0], Qt::LeftButton);
        QCOMPARE(RecordedArguments("xdg-email"), QStringList{Q("tabulon@kessmark.example")});
        QTest::mouseClick(box.Links[1], Qt::LeftButton);
        QCOMPARE(RecordedArguments("xdg-open"), QStringList{box.Links[1]->text()});
        QFile::remove(ArgsFile("xdg-open"));
        QTest::mouseClick(box.Links[2], Qt::LeftButton);
        QCOMPARE(RecordedArguments("xdg-open"), QStringList{box.Links[2]->text()});
        QVERIFY(box.Links[2]->text().startsWith(Q("https://")));
    }

    void noMailProgramSaysSo() {
        SetMailHandler("");
        TAboutBox box(true);
        QString shown;
        OnNextModal([&](QWidget* w) {
            if (auto* m = qobject_cast<QMessageBox*>(w)) shown = m->text();
            static_cast<QDialog*>(w)->reject();
        });
        QTest::mouseClick(box.Links[0], Qt::LeftButton);
        QVERIFY2(shown.contains(Q("No e-mail program")), qPrintable(shown));
        QVERIFY(shown.contains(Q("tabulon@kessmark.example")));
        QTest::qWait(200);
        QVERIFY(!QFile::exists(ArgsFile("xdg-email")));
    }

    // The window's button shows the box modally and frees it after.
    void aboutButtonShowsTheBox() {
        QTemporaryDir dir;
        QSettings store(dir.filePath(Q("settings.ini")), QSettings::IniFormat);
        TForm1 form(store, false);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QString versions, title;
        OnNextModal([&](QWidget* w) {
            auto* box = qobject_cast<TAboutBox*>(w);
            if (box) {
                versions = box->Versions->text();
                title = box->windowTitle();
                QTest::mouseClick(box->findChild<TKXButton*>(), Qt::LeftButton);
            } else {
                static_cast<QDialog*>(w)->reject();
            }
        });
        QTest::mouseClick(form.AboutBtn, Qt::LeftButton);
        QCOMPARE(title, Q("About..."));
        QCOMPARE(versions, TAboutBox::VersionsText(false));
        QTRY_VERIFY(form.findChildren<TAboutBox*>().isEmpty());
    }
};

int main(int argc, char** argv) {
    QTemporaryDir tools;
    gTools = &tools;
    WriteRecorder(Q("xdg-email"));
    WriteRecorder(Q("xdg-open"));
    SetMailHandler("thunderbird.desktop");
    qputenv("PATH", tools.path().toUtf8() + ':' + qgetenv("PATH"));
    // The opener of an unknown desktop is xdg-open.
    qunsetenv("XDG_CURRENT_DESKTOP");
    qunsetenv("DESKTOP_SESSION");
    QApplication app(argc, argv);
    AboutBoxTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "AboutBoxTest.moc"

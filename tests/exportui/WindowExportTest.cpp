#include "shell/WindowExport.h"
#include "controls/TKXButton.h"
#include "data/dataset/MemTable.h"
#include "shell/CopyFrm.h"
#include "shell/MailClient.h"
#include "shell/ShellState.h"

#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>
#include <memory>

namespace {
// Stand-ins of the desktop's programs, put on PATH before the application
// starts: each records its arguments, one a line, in <name>.args.
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
    WriteTool(QStringLiteral("xdg-mime"), "echo " + desktopFile + "\n");
}

QStringList RecordedArguments(const QString& name) {
    const QString path = gTools->filePath(name + QStringLiteral(".args"));
    for (int i = 0; i < 100 && !QFile::exists(path); ++i)
        QTest::qWait(50);
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

QByteArray Contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

class WindowExportTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TShellState> State;
    TMemTable* Table = nullptr;
    std::unique_ptr<QWidget> Window;
    QStatusBar* Status = nullptr;
    std::unique_ptr<TWindowExport> Export;
    QStringList Texts;
    std::function<void(const QString&)> OnStatus;
    std::unique_ptr<QTemporaryDir> Dir;
    QStringList Proposed;
    // The options the stand-in dialog picks; -1 leaves a setting as it is.
    int Action = -1, Format = -1, Range = -1;
    bool ConfirmOptions = true;
    QString SaveAs;

    QString Out(const char* name) const { return Dir->filePath(QString::fromLatin1(name)); }

    void Settle(int action, int format, int range = 0) {
        Action = action;
        Format = format;
        Range = range;
    }

private slots:
    void init() {
        State = std::make_unique<TShellState>();
        auto t = std::make_unique<TMemTable>();
        t->FieldDefs().Add("ID", ftInteger);
        t->FieldDefs().Add("Name", ftString, 12);
        t->Open();
        for (int i = 1; i <= 250; ++i)
            t->AppendRecord({TValue::OfInt(i), TValue::OfText("n\xC3\xA9" + std::to_string(i))});
        t->First();
        Table = t.get();
        State->CurrentDataSet = std::move(t);
        State->DataSource1.SetDataSet(Table);
        Dir = std::make_unique<QTemporaryDir>();
        State->CurrentFileName = Dir->filePath(QStringLiteral("people.dbf")).toStdString();
        Window = std::make_unique<QWidget>();
        Status = new QStatusBar(Window.get());
        Texts.clear();
        OnStatus = nullptr;
        Proposed.clear();
        Settle(-1, -1, -1);
        ConfirmOptions = true;
        SaveAs.clear();
        Export = std::make_unique<TWindowExport>(
            Window.get(), *State,
            [this](const QString& text) {
                Texts << text;
                if (OnStatus) OnStatus(text);
            },
            Status);
        Export->SetDialogStandIns(
            [this](TCopyFrm& d) {
                if (Action >= 0) d.Actions->button(Action)->click();
                if (Format >= 0) d.Formats->button(Format)->click();
                if (Range >= 0) d.Ranges->button(Range)->click();
                if (ConfirmOptions) d.OKBtn->click();
            },
            [this](const QString& proposed) {
                Proposed << proposed;
                return SaveAs;
            });
        for (const char* name : {"xdg-email.args", "xdg-open.args"})
            QFile::remove(gTools->filePath(QString::fromLatin1(name)));
        SetMailHandler("thunderbird.desktop");
    }
    void cleanup() {
        Export.reset();
        Window.reset();
        State.reset();
    }

    void clipboardAsksForNoFile() {
        Settle(1, 0);
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        QCOMPARE(Export->Execute(), 250);
        QVERIFY(Proposed.isEmpty());
        const QString text = QGuiApplication::clipboard()->text();
        QVERIFY2(text.startsWith(QStringLiteral("ID\tName\r\n1\tn\u00e91\r\n")), qPrintable(text));
        QVERIFY(text.endsWith(QStringLiteral("250\tn\u00e9250\r\n")));
        QCOMPARE(Export->LastMessage(), QStringLiteral("250 records have been copied."));
        QCOMPARE(Texts, (QStringList{QStringLiteral("100 records copied"),
                                     QStringLiteral("200 records copied"), QString()}));
    }

    void fileOfEachFormat_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QByteArray>("start");
        QTest::newRow("Text") << 0 << "txt"
                              << QByteArray("ID\tName\r\n1\tn\xC3\xA9"
                                            "1");
        QTest::newRow("HTML") << 1 << "htm" << QByteArray("<");
        QTest::newRow("XML") << 2 << "xml" << QByteArray("<?xml");
        QTest::newRow("RTF") << 3 << "rtf" << QByteArray("{\\rtf");
        QTest::newRow("XLS") << 4 << "xls" << QByteArray("\x09\x08", 2);
        QTest::newRow("XLSX") << 5 << "xlsx" << QByteArray("PK");
    }
    void fileOfEachFormat() {
        QFETCH(int, format);
        QFETCH(QString, extension);
        QFETCH(QByteArray, start);
        Settle(0, format);
        SaveAs = Out("people"); // the dialog adds the format's extension
        QCOMPARE(Export->Execute(), 250);
        QCOMPARE(Proposed, QStringList{Dir->filePath(QStringLiteral("people"))});
        const QByteArray doc = Contents(SaveAs + QLatin1Char('.') + extension);
        QVERIFY2(doc.startsWith(start), doc.left(20).toHex().constData());
        QCOMPARE(State->Settings.FormatType, format);
    }

    void rangesReachTheWriter() {
        SaveAs = Out("range.txt");
        Table->SetRecNo(7);
        Settle(0, 0, 2); // the selected record only
        QCOMPARE(Export->Execute(), 1);
        QCOMPARE(Contents(SaveAs), QByteArray("ID\tName\r\n7\tn\xC3\xA9"
                                              "7\r\n"));
        QCOMPARE(Export->LastMessage(), QStringLiteral("1 records have been copied."));
        Table->SetRecNo(248);
        Settle(0, 0, 3); // the current record to the last
        QCOMPARE(Export->Execute(), 3);
        QVERIFY(Contents(SaveAs).startsWith("ID\tName\r\n248\t"));
        State->Grid().SetSelectedIndex(1);
        Settle(0, 0, 1); // the selected column only
        QCOMPARE(Export->Execute(), 250);
        QVERIFY(Contents(SaveAs).startsWith("Name\r\nn\xC3\xA9"
                                            "1\r\n"));
    }

    void cancelledDialogsDoNothing() {
        for (int action : {0, 2, 3}) {
            Settle(action, 0);
            SaveAs.clear(); // the save dialog cancelled
            QCOMPARE(Export->Execute(), -1);
            QVERIFY(Export->LastMessage().isEmpty());
            QVERIFY(QDir(Dir->path()).entryList(QDir::Files).isEmpty());
        }
        QTest::qWait(200);
        QVERIFY(!QFile::exists(gTools->filePath(QStringLiteral("xdg-email.args"))));
        QVERIFY(!QFile::exists(gTools->filePath(QStringLiteral("xdg-open.args"))));
        // Options cancelled: not even the save dialog, the settings stay.
        ConfirmOptions = false;
        Settle(1, 3);
        Proposed.clear();
        QCOMPARE(Export->Execute(), -1);
        QVERIFY(Proposed.isEmpty());
        QCOMPARE(State->Settings.ActionType, 3);
    }

    // Esc stops the run; the file that stood there is as it was, nothing is
    // left beside it, and the status says so.
    void escapeStopsAndKeepsTheDestination() {
        SaveAs = Out("kept.txt");
        {
            QFile f(SaveAs);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("old document");
        }
        QSignalSpy started(Export.get(), &TWindowExport::started);
        QSignalSpy finished(Export.get(), &TWindowExport::finished);
        bool runningSeen = false;
        OnStatus = [&](const QString& t) {
            if (t != QStringLiteral("100 records copied")) return;
            runningSeen = Export->Running() && started.count() == 1 && finished.count() == 0;
            QTest::keyClick(Window.get(), Qt::Key_Escape);
        };
        Settle(0, 0);
        QCOMPARE(Export->Execute(), -1);
        QVERIFY(runningSeen);
        QVERIFY(!Export->Running());
        QCOMPARE(started.count(), 1);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(Contents(SaveAs), QByteArray("old document"));
        QCOMPARE(QDir(Dir->path()).entryList(QDir::Files), QStringList{QStringLiteral("kept.txt")});
        QCOMPARE(Texts.last(), QStringLiteral("Export stopped; %1 was left as it was").arg(SaveAs));
        QVERIFY2(!Texts.contains(QStringLiteral("200 records copied")), "it stopped at once");
        QVERIFY(Export->LastMessage().isEmpty());
        // The next run is whole again.
        OnStatus = nullptr;
        QCOMPARE(Export->Execute(), 250);
    }

    void cancelButtonStopsAClipboardRun() {
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        OnStatus = [&](const QString& t) {
            if (t != QStringLiteral("200 records copied")) return;
            auto* b = Status->findChild<QPushButton*>();
            QVERIFY(b && !b->isHidden());
            b->click();
        };
        Settle(1, 1);
        QCOMPARE(Export->Execute(), -1);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
        QCOMPARE(Texts.last(), QStringLiteral("Export stopped; the clipboard was not changed"));
        QVERIFY(Status->findChild<QPushButton*>()->isHidden());
    }

    // While a run turns the event loop, a second export does not start.
    void noSecondExportUnderARunningOne() {
        int inner = 0;
        int dialogs = 0;
        Export->SetDialogStandIns(
            [&](TCopyFrm& d) {
                ++dialogs;
                d.Actions->button(1)->click();
                d.OKBtn->click();
            },
            nullptr);
        OnStatus = [&](const QString& t) {
            if (t == QStringLiteral("100 records copied")) inner = Export->Execute();
        };
        QCOMPARE(Export->Execute(), 250);
        QCOMPARE(inner, -1);
        QCOMPARE(dialogs, 1);
    }

    void writerErrorIsShownAndTheRunEnds() {
        QSignalSpy finished(Export.get(), &TWindowExport::finished);
        TProgress* before = &State->Progress();
        SaveAs = Out("no such folder/x.txt");
        Settle(0, 0);
        QCOMPARE(Export->Execute(), -1);
        QVERIFY2(!Export->LastMessage().isEmpty() &&
                     !Export->LastMessage().contains(QStringLiteral("records have been copied")),
                 qPrintable(Export->LastMessage()));
        QCOMPARE(finished.count(), 1);
        QVERIFY(!Export->Running());
        QCOMPARE(&State->Progress(), before);
    }

    void mailHandsTheFileToTheMailHandler() {
        SaveAs = Out("mail me.txt");
        Settle(2, 0);
        QCOMPARE(Export->Execute(), 250);
        QCOMPARE(RecordedArguments(QStringLiteral("xdg-email")),
                 (QStringList{QStringLiteral("--attach"), SaveAs}));
    }

    void mailWithoutAHandlerSaysSo() {
        SetMailHandler("");
        SaveAs = Out("nomail.txt");
        Settle(2, 0);
        QCOMPARE(Export->Execute(), -1);
        QVERIFY2(Export->LastMessage().contains(QStringLiteral("no e-mail program is set up")),
                 qPrintable(Export->LastMessage()));
        QVERIFY(Export->LastMessage().contains(SaveAs));
        QVERIFY(Contents(SaveAs).startsWith("ID\tName"));
        QTest::qWait(200);
        QVERIFY(!QFile::exists(gTools->filePath(QStringLiteral("xdg-email.args"))));
        QVERIFY(FindMailClient().isEmpty());
    }

    void openHandsTheFileToTheOpener() {
        SaveAs = Out("open me.htm");
        Settle(3, 1);
        QCOMPARE(Export->Execute(), 250);
        const QStringList args = RecordedArguments(QStringLiteral("xdg-open"));
        QCOMPARE(args.size(), 1);
        const QString opened = args.first().startsWith(QStringLiteral("file:"))
                                   ? QUrl(args.first()).toLocalFile()
                                   : args.first();
        QCOMPARE(opened, SaveAs);
    }

    void mailtoLinkIsPercentEncoded() {
        const QUrl url = MailToUrl(QStringLiteral("a@b.org"), QStringLiteral("Tables & more"),
                                   QStringLiteral("50% off?"), QStringLiteral("/t/x y\u00e9.txt"));
        QCOMPARE(url.toString(QUrl::FullyEncoded),
                 QStringLiteral("mailto:a%40b.org?subject=Tables%20%26%20more&body=50%25%20off%3F"
                                "&file=%2Ft%2Fx%20y%C3%A9.txt"));
        QCOMPARE(MailToUrl(QString(), QString(), QString(), QString()).toString(),
                 QStringLiteral("mailto:?subject=&body=&file="));
    }
};

int main(int argc, char** argv) {
    QTemporaryDir tools;
    gTools = &tools;
    WriteRecorder(QStringLiteral("xdg-email"));
    WriteRecorder(QStringLiteral("xdg-open"));
    SetMailHandler("thunderbird.desktop");
    const QByteArray path = tools.path().toUtf8() + ':' + qgetenv("PATH");
    qputenv("PATH", path);
    // The opener of an unknown desktop is xdg-open.
    qunsetenv("XDG_CURRENT_DESKTOP");
    qunsetenv("DESKTOP_SESSION");
    QApplication app(argc, argv);
    WindowExportTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "WindowExportTest.moc"

// The main window's export button, offscreen: the real options dialog, save
// dialog and result box driven as a user would, the controls locked while
// the run turns the event loop, Esc, the status bar's Cancel and a close.
#include "controls/TKXButton.h"
#include "controls/TKXOpenDialog.h"
#include "controls/TkxSoftButton.h"
#include "data/dataset/DataSet.h"
#include "data/drivers/dbf/DbfWriter.h"
#include "grid/KXDBGrid.h"
#include "grid/TkxDBNavigator.h"
#include "shell/CopyFrm.h"
#include "shell/ExportCommand.h"
#include "shell/WindowExport.h"
#include "shell/window/TForm1.h"
#include "tests/support/ModalDriver.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <string>
#include <vector>

namespace {
QString Q(const char* s) {
    return QString::fromUtf8(s);
}

QByteArray Contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class ExportButtonTest : public QObject {
    Q_OBJECT
    QTemporaryDir fDir;
    QString fTable;
    QString fProposed;
    QString fResult;

    QString Store() const { return fDir.filePath(Q("settings.ini")); }
    QString Out(const char* name) const { return fDir.filePath(Q(name)); }

    // The options dialog: the action and format, confirmed.
    TModalDriver::THandler Options(int action, int format) {
        return [action, format](QWidget* w) {
            auto* d = qobject_cast<TCopyFrm*>(w);
            if (!d) return false;
            d->Actions->button(action)->click();
            d->Formats->button(format)->click();
            d->Ranges->button(0)->click();
            QTest::mouseClick(d->OKBtn, Qt::LeftButton);
            return true;
        };
    }
    TModalDriver::THandler SaveAs(const QString& path) {
        return [this, path](QWidget* w) {
            auto* d = qobject_cast<QFileDialog*>(w);
            if (!d) return false;
            fProposed = d->selectedFiles().value(0);
            // Typed into the name box, as a user does.
            auto* name = d->findChild<QLineEdit*>(Q("fileNameEdit"));
            if (!name) return false;
            name->setText(path);
            static_cast<QDialog*>(d)->accept(); // the Save button's check, overwrite included
            return true;
        };
    }
    TModalDriver::THandler ResultBox() {
        return [this](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box) return false;
            fResult = box->text();
            box->accept();
            return true;
        };
    }

    // Every control that could change the table or start an export.
    static QList<QWidget*> Locked(TForm1& form) {
        return {form.OpenBtn,    form.CopyBtn,     form.FixBtn,      form.FindBtn, form.SearchEdit,
                form.FilterEdit, form.FilterCheck, form.DBNavigator, form.Grid};
    }

    void Open(TForm1& form) {
        form.resize(800, 500);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.OpenFile(fTable);
        QVERIFY(form.State().CurrentDataSet && form.State().CurrentDataSet->Active());
        QVERIFY(form.CopyBtn->isEnabled());
        fProposed.clear();
        fResult.clear();
    }

private slots:
    void initTestCase() {
        QVERIFY(fDir.isValid());
        fTable = fDir.filePath(Q("people.dbf"));
        TDbfWriter w(fTable.toStdString(), dvDBase3, {{"ID", 'N', 6}, {"NAME", 'C', 12}});
        for (int i = 1; i <= 250; ++i)
            w.AddRecord({TValue::OfInt(i), TValue::OfText("n\xC3\xA9" + std::to_string(i))});
        w.Finish();
    }
    void init() { QFile::remove(Store()); }

    void buttonExportsToAFileThroughTheDialogs() {
        QSettings store(Store(), QSettings::IniFormat);
        TForm1 form(store, true);
        Open(form);
        const QString out = Out("people out.txt");
        TModalDriver driver({Options(0, 0), SaveAs(out), ResultBox()});
        QTest::mouseClick(form.CopyBtn, Qt::LeftButton);
        QCOMPARE(driver.Handled(), 3);
        QVERIFY2(driver.Unexpected().isEmpty(), qPrintable(driver.Unexpected().join(Q("\n"))));
        QCOMPARE(QFileInfo(fProposed).completeBaseName(), Q("people"));
        QCOMPARE(fResult, Q("250 records have been copied."));
        const QByteArray doc = Contents(out);
        QVERIFY2(doc.startsWith("ID\tNAME\r\n1\tn\xC3\xA9"
                                "1\r\n"),
                 doc.left(40).constData());
        QVERIFY(doc.endsWith("250\tn\xC3\xA9"
                             "250\r\n"));
        QCOMPARE(doc.count('\n'), 251);
        // Cleared after the run (the hint under the mouse may come back).
        QVERIFY2(!form.PanelText(0).contains(Q("records copied")), qPrintable(form.PanelText(0)));
        // The dialog's choices are the settings now.
        QCOMPARE(form.State().Settings.ActionType, 0);
        QCOMPARE(form.State().Settings.FormatType, 0);
    }

    // The grid is disabled while the button's export reads it: the document
    // is the one the same export gives with the grid enabled.
    void lockedGridGivesTheSameDocument() {
        QSettings store(Store(), QSettings::IniFormat);
        TForm1 form(store, true);
        Open(form);
        const QString out = Out("locked.htm");
        TModalDriver driver({Options(0, 1), SaveAs(out), ResultBox()});
        QTest::mouseClick(form.CopyBtn, Qt::LeftButton);
        QCOMPARE(driver.Handled(), 3);
        const QString plain = Out("plain.htm");
        QCOMPARE(RunExport(form.State(), plain.toStdString()), 250);
        const QByteArray doc = Contents(out);
        QVERIFY(doc.contains("n\xC3\xA9"
                             "250"));
        QCOMPARE(doc, Contents(plain));
    }

    void buttonCopiesToTheClipboard() {
        QSettings store(Store(), QSettings::IniFormat);
        TForm1 form(store, true);
        Open(form);
        QGuiApplication::clipboard()->setText(Q("before"));
        // No save dialog: the result box follows the options at once.
        TModalDriver driver({Options(1, 0), ResultBox()});
        QTest::mouseClick(form.CopyBtn, Qt::LeftButton);
        QCOMPARE(driver.Handled(), 2);
        QVERIFY2(driver.Unexpected().isEmpty(), qPrintable(driver.Unexpected().join(Q("\n"))));
        QCOMPARE(fResult, Q("250 records have been copied."));
        const QString text = QGuiApplication::clipboard()->text();
        QVERIFY2(text.startsWith(Q("ID\tNAME\r\n1\tn\u00e91\r\n")), qPrintable(text.left(40)));
        QVERIFY(text.endsWith(Q("250\tn\u00e9250\r\n")));
    }

    // Between started and finished the table cannot be changed or replaced
    // and no second export starts; afterwards every control is as before.
    void runningExportLocksWhatWouldChangeTheTable() {
        QSettings store(Store(), QSettings::IniFormat);
        TForm1 form(store, true);
        Open(form);
        TDataSet* ds = form.State().CurrentDataSet.get();
        QMap<QWidget*, bool> before;
        for (QWidget* w : Locked(form))
            before[w] = w->isEnabled();
        QVERIFY(before[form.OpenBtn] && before[form.FilterEdit] && before[form.Grid]);
        int dialogs = 0;
        form.RunOpenDialog = [&](TKXOpenDialog&) {
            ++dialogs;
            return fTable;
        };
        QStringList stillEnabled;
        bool midRun = false, dropRefused = false, dropsOff = false;
        QString panelMidRun;
        connect(&form.WindowExport(), &TWindowExport::started, this, [&] {
            for (QWidget* w : Locked(form))
                if (w->isEnabled()) stillEnabled << QString::fromUtf8(w->metaObject()->className());
            dropsOff = !form.acceptDrops();
            // Runs inside the run's turn of the event loop, at 100 records.
            QTimer::singleShot(0, &form, [&] {
                midRun = form.WindowExport().Running();
                panelMidRun = form.PanelText(0);
                QTest::keyClick(&form, Qt::Key_O, Qt::ControlModifier);
                dropRefused = !form.DropFiles({fTable});
                QTest::mouseClick(form.CopyBtn, Qt::LeftButton);
                form.CopyBtnClick();
            });
        });
        const QString out = Out("locked.txt");
        TModalDriver driver({Options(0, 0), SaveAs(out), ResultBox()});
        QTest::mouseClick(form.CopyBtn, Qt::LeftButton);
        QVERIFY2(stillEnabled.isEmpty(), qPrintable(stillEnabled.join(Q(", "))));
        QVERIFY(dropsOff);
        QVERIFY(midRun);
        QCOMPARE(panelMidRun, Q("100 records copied"));
        QCOMPARE(dialogs, 0);
        QVERIFY(dropRefused);
        // Only the one options dialog, save dialog and result box came up.
        QCOMPARE(driver.Handled(), 3);
        QVERIFY2(driver.Unexpected().isEmpty(), qPrintable(driver.Unexpected().join(Q("\n"))));
        QCOMPARE(Contents(out).count('\n'), 251);
        for (QWidget* w : Locked(form))
            QCOMPARE(w->isEnabled(), before[w]);
        QVERIFY(form.acceptDrops());
        QCOMPARE(form.State().CurrentDataSet.get(), ds);
        QVERIFY(ds->Active());
    }

    // Esc and the status bar's Cancel stop the run; the file that stood
    // there stays, and the window is usable again.
    void escapeAndCancelStopTheRun_data() {
        QTest::addColumn<bool>("escape");
        QTest::newRow("Esc") << true;
        QTest::newRow("Cancel button") << false;
    }
    void escapeAndCancelStopTheRun() {
        QFETCH(bool, escape);
        QSettings store(Store(), QSettings::IniFormat);
        TForm1 form(store, true);
        Open(form);
        const QString out = Out("kept.txt");
        {
            QFile f(out);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write("old document");
        }
        bool cancelShown = false;
        connect(&form.WindowExport(), &TWindowExport::started, this, [&] {
            QTimer::singleShot(0, &form, [&] {
                if (escape) {
                    QTest::keyClick(&form, Qt::Key_Escape);
                    return;
                }
                for (auto* b : form.statusBar()->findChildren<QPushButton*>())
                    if (b->text() == Q("Cancel") && b->isVisible()) {
                        cancelShown = true;
                        b->click();
                    }
            });
        });
        // The overwrite question is answered yes; no result box follows.
        TModalDriver driver({Options(0, 0), SaveAs(out), [](QWidget* w) {
                                 auto* box = qobject_cast<QMessageBox*>(w);
                                 if (!box || !box->button(QMessageBox::Yes)) return false;
                                 box->button(QMessageBox::Yes)->click();
                                 return true;
                             }});
        QTest::mouseClick(form.CopyBtn, Qt::LeftButton);
        if (!escape) QVERIFY(cancelShown);
        QVERIFY2(driver.Unexpected().isEmpty(), qPrintable(driver.Unexpected().join(Q("\n"))));
        QCOMPARE(Contents(out), QByteArray("old document"));
        QCOMPARE(QDir(fDir.path()).entryList({Q("kept*")}, QDir::Files),
                 QStringList{Q("kept.txt")});
        QCOMPARE(form.PanelText(0), Q("Export stopped; %1 was left as it was").arg(out));
        QVERIFY(!form.WindowExport().Running());
        QVERIFY(form.OpenBtn->isEnabled() && form.CopyBtn->isEnabled() && form.Grid->isEnabled());
    }

    // Closing the window mid-run stops the export first; the window then
    // closes with the destination as it was and the settings saved.
    void closeDuringARunStopsItFirst() {
        QSettings store(Store(), QSettings::IniFormat);
        TForm1 form(store, true);
        Open(form);
        const QString out = Out("closing.txt");
        bool refusedAtOnce = false;
        connect(&form.WindowExport(), &TWindowExport::started, this, [&] {
            QTimer::singleShot(0, &form, [&] {
                refusedAtOnce = !form.close() && form.isVisible() && form.State().CurrentDataSet &&
                                form.State().CurrentDataSet->Active();
            });
        });
        TModalDriver driver({Options(0, 2), SaveAs(out)});
        QTest::mouseClick(form.CopyBtn, Qt::LeftButton);
        QVERIFY(refusedAtOnce);
        QVERIFY2(driver.Unexpected().isEmpty(), qPrintable(driver.Unexpected().join(Q("\n"))));
        QTRY_VERIFY(!form.isVisible());
        QVERIFY(!QFile::exists(out));
        QCOMPARE(QDir(fDir.path()).entryList({Q("closing*")}, QDir::Files), QStringList());
        QVERIFY(!form.State().CurrentDataSet || !form.State().CurrentDataSet->Active());
        QSettings saved(Store(), QSettings::IniFormat);
        QCOMPARE(saved.value(Q("Settings/FormatType")).toString(), Q("2"));
    }
};

QTEST_MAIN(ExportButtonTest)
#include "ExportButtonTest.moc"

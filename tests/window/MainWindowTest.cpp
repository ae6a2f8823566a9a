// The main window, offscreen: its states, settings, filter bar, drops and keys.
#include "controls/TKXButton.h"
#include "controls/TKXOpenDialog.h"
#include "controls/TkxSoftButton.h"
#include "data/dataset/DataSet.h"
#include "grid/KXDBGrid.h"
#include "shell/CopyFrm.h"
#include "shell/window/TForm1.h"
#include "tests/support/ModalDriver.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

namespace {
QString Q(const char* s) {
    return QString::fromUtf8(s);
}
} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
    QTemporaryDir fDir;
    QString fTable;

    QString Store() const { return fDir.filePath(Q("settings.ini")); }

private slots:
    void initTestCase() {
        QVERIFY(fDir.isValid());
        fTable = fDir.filePath(Q("customers.dbf"));
        QVERIFY(QFile::copy(Q(TABULON_SAMPLES_DIR "/customers.dbf"), fTable));
        QFile::copy(Q(TABULON_SAMPLES_DIR "/customers.dbt"), fDir.filePath(Q("customers.dbt")));
    }
    void init() { QFile::remove(Store()); }

    void firstStartDefaultsAndNoTableState() {
        QSettings store(Store(), QSettings::IniFormat);
        TForm1 form(store, true);
        QVERIFY(form.NColNames->isChecked());
        QVERIFY(!form.NMemo->isChecked());
        QVERIFY(form.NImages->isChecked());
        QVERIFY(form.NButtonHints->isChecked() && form.NColumnHints->isChecked() &&
                form.NDataHints->isChecked());
        QCOMPARE(form.windowTitle(), Q("Tabulon"));
        QVERIFY(!form.CopyBtn->isEnabled());
        QVERIFY(!form.FixBtn->isEnabled());
        QVERIFY(!form.FilterEdit->isEnabled());
        QVERIFY(!form.FilterCheck->isEnabled());
        QVERIFY(!form.SearchEdit->isEnabled());
        QVERIFY(form.PanelText(4).startsWith(Q("BDE loaded")));
        QVERIFY(form.Grid->ShowLogo());
        // The last panel runs to the window's edge, with room for the engine
        // status once the window is wide enough.
        form.show();
        for (int width : {800, 900}) {
            form.resize(width, 389);
            QTest::qWait(50);
            auto panels = form.statusBar()->findChildren<QLabel*>();
            QLabel* last = nullptr;
            for (QLabel* l : panels)
                if (l->text() == form.PanelText(4)) last = l;
            QVERIFY(last);
            QVERIFY2(last->width() >= last->fontMetrics().horizontalAdvance(last->text()),
                     qPrintable(QString::number(last->width())));
            QVERIFY(last->geometry().right() >= form.statusBar()->width() - 40);
        }
    }

    void storedValuesLoadAsSpecifiedAndSurviveRestart() {
        {
            QSettings store(Store(), QSettings::IniFormat);
            store.setValue(Q("Settings/RecsPerLine"), Q("101"));
            store.setValue(Q("Settings/FormatType"), Q("-1"));
            store.setValue(Q("Settings/ActionType"), Q("abc"));
            store.setValue(Q("Settings/DataHints"), Q("0"));
            store.sync();
            TForm1 form(store, true);
            QCOMPARE(form.State().Settings.RecsPerLine, 1);
            QCOMPARE(form.State().Settings.FormatType, 0);
            QCOMPARE(form.State().Settings.ActionType, 0);
            QVERIFY(!form.NDataHints->isChecked());
            QVERIFY(!form.Grid->DataHints());
            form.State().Settings.RecsPerLine = 7;
            form.NMemo->trigger(); // the menu's click
            QVERIFY(form.State().Settings.IncludeMemoData);
        }
        QSettings store(Store(), QSettings::IniFormat);
        TForm1 form(store, true);
        QCOMPARE(form.State().Settings.RecsPerLine, 7);
        QVERIFY(form.NMemo->isChecked());
    }

    // Stored texts out of range or not numbers give the defaults; what the
    // window loads is what its export dialog shows. FormatType 5 is this
    // program's sixth format, XLSX; 6 is out of range.
    void storedRangeValuesLoadAsSpecified_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("loaded");
        QTest::newRow("RecsPerLine 0") << Q("RecsPerLine") << Q("0") << 1;
        QTest::newRow("RecsPerLine 101") << Q("RecsPerLine") << Q("101") << 1;
        QTest::newRow("RecsPerLine abc") << Q("RecsPerLine") << Q("abc") << 1;
        QTest::newRow("RecsPerLine 99") << Q("RecsPerLine") << Q("99") << 99;
        QTest::newRow("FormatType -1") << Q("FormatType") << Q("-1") << 0;
        QTest::newRow("FormatType 5") << Q("FormatType") << Q("5") << 5;
        QTest::newRow("FormatType 6") << Q("FormatType") << Q("6") << 0;
        QTest::newRow("FormatType 4") << Q("FormatType") << Q("4") << 4;
    }
    void storedRangeValuesLoadAsSpecified() {
        QFETCH(QString, name);
        QFETCH(QString, stored);
        QFETCH(int, loaded);
        QSettings store(Store(), QSettings::IniFormat);
        store.setValue(Q("Settings/") + name, stored);
        store.sync();
        TForm1 form(store, true);
        const TSettings& s = form.State().Settings;
        TSettings copy = s;
        TCopyFrm dialog(&form, copy, 10);
        if (name == Q("RecsPerLine")) {
            QCOMPARE(s.RecsPerLine, loaded);
            QCOMPARE(dialog.Edit1->text().trimmed(), QString::number(loaded));
        } else {
            QCOMPARE(s.FormatType, loaded);
            QCOMPARE(dialog.Formats->checkedId(), loaded);
        }
    }

    // The export dialog's choice is saved at close and read at the next start.
    void exportDialogChangeSurvivesRestart() {
        {
            QSettings store(Store(), QSettings::IniFormat);
            TForm1 form(store, true);
            form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&form));
            form.OpenFile(fTable);
            QVERIFY(form.CopyBtn->isEnabled());
            TModalDriver driver({[](QWidget* w) {
                                     auto* d = qobject_cast<TCopyFrm*>(w);
                                     if (!d) return false;
                                     d->Formats->button(3)->click();
                                     d->Edit1->selectAll();
                                     QTest::keyClicks(d->Edit1, Q("3"));
                                     d->OKBtn->click();
                                     return true;
                                 },
                                 [](QWidget* w) {
                                     // The save dialog, cancelled: nothing is written.
                                     auto* d = qobject_cast<QFileDialog*>(w);
                                     if (!d) return false;
                                     d->reject();
                                     return true;
                                 }});
            QTest::mouseClick(form.CopyBtn, Qt::LeftButton);
            QCOMPARE(driver.Handled(), 2);
            QVERIFY2(driver.Unexpected().isEmpty(), qPrintable(driver.Unexpected().join(Q("\n"))));
            QCOMPARE(form.State().Settings.RecsPerLine, 3);
            form.close();
        }
        QSettings store(Store(), QSettings::IniFormat);
        QCOMPARE(store.value(Q("Settings/RecsPerLine")).toString(), Q("3"));
        TForm1 form(store, true);
        QCOMPARE(form.State().Settings.RecsPerLine, 3);
        QCOMPARE(form.State().Settings.FormatType, 3);
    }

    void buttonHintsSwitchOnlyTheirButtons() {
        QSettings store(Store(), QSettings::IniFormat);
        TForm1 form(store, true);
        form.NButtonHints->trigger();
        QVERIFY(!form.State().Settings.ButtonHints);
        QVERIFY(!form.OpenBtn->ShowHint());
        QVERIFY(!form.HelpBtn->ShowHint());
        QVERIFY(form.AboutBtn->ShowHint());
        QVERIFY(form.FindBtn->ShowHint());
        form.NColumnHints->trigger();
        QVERIFY(!form.Grid->ColumnHints());
    }

    void openTableStateFilterAndError() {
        QSettings store(Store(), QSettings::IniFormat);
        TForm1 form(store, true);
        form.resize(800, 500);
        form.OpenFile(fTable);
        TDataSet* ds = form.State().CurrentDataSet.get();
        QVERIFY(ds && ds->Active());
        QCOMPARE(form.windowTitle(), Q("Tabulon - customers.dbf"));
        QVERIFY(form.CopyBtn->isEnabled());
        QVERIFY(form.FilterEdit->isEnabled());
        QVERIFY(form.PanelText(2).startsWith(Q("Fields: ")));
        QCOMPARE(form.PanelText(1),
                 QString::number(ds->RecNo()) + Q(" / ") + QString::number(ds->RecordCount()));
        QVERIFY(form.PanelText(4).startsWith(Q("Connected via")));

        // No field named: the box stays off.
        form.FilterEdit->setText(Q("x > 100"));
        form.FilterEditChange();
        QVERIFY(!form.FilterCheck->isEnabled());
        const std::string first = ds->Fields(0).FieldName();
        const int all = ds->RecordCount();
        QString errors;
        form.ShowFilterError = [&](const QString& m) { errors += m; };
        // A bad expression naming a field: "Error", text kept, box off and disabled.
        form.FilterEdit->setText(ToQ(first) + Q(" = = ("));
        form.FilterEditChange();
        QVERIFY(form.FilterCheck->isEnabled());
        form.FilterCheckClick(true);
        QVERIFY(!errors.isEmpty());
        QVERIFY(!form.FilterCheck->isChecked());
        QVERIFY(!form.FilterCheck->isEnabled());
        QVERIFY(!ds->Filtered());
        QCOMPARE(form.FilterEdit->text(), ToQ(first) + Q(" = = ("));
        QCOMPARE(ds->RecordCount(), all);

        // A good one filters; one more character switches it off again.
        ds->First();
        form.FilterEdit->clear();
        form.FilterEditEnter(); // proposes from the current cell
        QVERIFY(form.FilterEdit->text().startsWith(ToQ(first)));
        form.FilterCheckClick(true);
        QVERIFY(form.FilterCheck->isChecked());
        QVERIFY(ds->Filtered());
        QVERIFY(ds->RecordCount() >= 1);
        form.FilterEdit->setText(form.FilterEdit->text() + Q(" "));
        form.FilterEditChange();
        QVERIFY(!form.FilterCheck->isChecked());
        QVERIFY(!ds->Filtered());
        QCOMPARE(ds->RecordCount(), all);

        // Closing goes back to the state with no table.
        form.State().CurrentDataSet->Close();
        QCOMPARE(form.windowTitle(), Q("Tabulon"));
        QVERIFY(!form.CopyBtn->isEnabled());
        QVERIFY(!form.FilterEdit->isEnabled());
        QVERIFY(form.FilterEdit->text().isEmpty());
        QVERIFY(form.PanelText(1).isEmpty());
    }

    void openWarningsComeInOneBox() {
        // The memo file left behind: the table opens and says what is missing.
        QTemporaryDir dir;
        const QString table = dir.filePath(Q("customers.dbf"));
        QVERIFY(QFile::copy(fTable, table));
        QSettings store(Store(), QSettings::IniFormat);
        TForm1 form(store, true);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QString text;
        TModalDriver driver({TModalDriver::Box(&text)});
        form.OpenFile(table);
        QVERIFY(form.State().CurrentDataSet && form.State().CurrentDataSet->Active());
        QCOMPARE(driver.Handled(), 1);
        QVERIFY2(text.contains(Q("customers.dbt")) && text.contains(Q("missing")),
                 qPrintable(text));
        QVERIFY(driver.Unexpected().isEmpty());
        // A table with nothing to say brings no box.
        TModalDriver none({});
        form.OpenFile(fTable);
        QTest::qWait(50);
        QVERIFY2(none.Unexpected().isEmpty(), qPrintable(none.Unexpected().join(Q("; "))));
    }

    void editStateCountsWithoutRecordNumber() {
        QSettings store(Store(), QSettings::IniFormat);
        TForm1 form(store, true);
        form.OpenFile(fTable);
        TDataSet* ds = form.State().CurrentDataSet.get();
        ds->Append();
        form.UpdateStatusCount();
        QCOMPARE(form.PanelText(1), QString::number(ds->RecordCount()));
        ds->Cancel();
    }

    void droppedFilesPickTheFirstAcceptedOne() {
        QSettings store(Store(), QSettings::IniFormat);
        TForm1 form(store, true);
        int runs = 0;
        form.RunOpenDialog = [&](TKXOpenDialog&) {
            ++runs;
            return QString();
        };
        QVERIFY(!form.DropFiles({Q("/tmp/a.xls"), Q("/tmp/b.XLS")}));
        QCOMPARE(runs, 0);
        QVERIFY(form.DropFiles({Q("/tmp/a.xls"), Q("/tmp/b.pdf"), Q("/data/c.CSV")}));
        QCOMPARE(runs, 1);
        QCOMPARE(form.OpenDlg().FilterIndex(), 3);
        QCOMPARE(form.OpenDlg().FileName(), Q("c.CSV"));
        QCOMPARE(form.OpenDlg().InitialDir(), Q("/data"));
        QVERIFY(form.DropFiles({Q("/x/t.txt"), Q("/x/d.dbf")}));
        QCOMPARE(form.OpenDlg().FilterIndex(), 2);
    }

    void ctrlOOpensButCtrlShiftODoesNot() {
        QSettings store(Store(), QSettings::IniFormat);
        TForm1 form(store, true);
        int runs = 0;
        form.RunOpenDialog = [&](TKXOpenDialog&) {
            ++runs;
            return QString();
        };
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTest::keyClick(&form, Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(runs, 0);
        QTest::keyClick(&form, Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(runs, 1);
        // Also while an edit has the focus: the window sees keys first.
        form.SearchEdit->setEnabled(true);
        form.SearchEdit->setFocus();
        QTest::keyClick(form.SearchEdit, Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(runs, 2);
    }

    void helpWithoutItsPageSaysWhereItLooked() {
        // This test program has no share/tabulon beside its folder.
        QSettings store(Store(), QSettings::IniFormat);
        TForm1 form(store, true);
        QStringList opened;
        form.OpenUrl = [&](const QString& url) { opened << url; };
        QString message;
        try {
            form.HelpBtnClick();
        } catch (const std::runtime_error& e) {
            message = QString::fromUtf8(e.what());
        }
        QVERIFY2(message.startsWith(Q("The help page is not installed: no share/tabulon folder")),
                 qPrintable(message));
        QVERIFY2(message.contains(Q("main_window_test")), qPrintable(message));
        QVERIFY(opened.isEmpty());
    }

private:
    static QString ToQ(const std::string& s) { return QString::fromStdString(s); }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"

// The main window over a table large enough for its work to take a while,
// offscreen: opening, a title click that sorts and a filter show their
// progress in status panel 0 and let the window paint, and what arrives
// meanwhile (a close, a drop, the export button) waits for the work.
#include "controls/TKXOpenDialog.h"
#include "data/dataset/DataSet.h"
#include "data/drivers/dbf/DbfWriter.h"
#include "grid/KXDBGrid.h"
#include "shell/window/TForm1.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {
QString Q(const char* s) {
    return QString::fromUtf8(s);
}

const int Records = 200000;
} // namespace

class LongWorkTest : public QObject {
    Q_OBJECT
    QTemporaryDir fDir;
    QString fTable;

    QString Store() const { return fDir.filePath(Q("settings.ini")); }

    // What is seen inside the work, at the first turn of its event loop.
    struct TInside {
        bool Ran = false;
        QString Panel;
        bool CloseRefused = false;
        bool DropRefused = false;
        int Dialogs = 0;
        bool TableActive = false;
    };

    // At the work's first turn of the event loop: a close, a drop and the
    // export button, none of which may touch the table under the work.
    void ArmInside(TForm1& form, TInside& inside) {
        form.RunOpenDialog = [&inside](TKXOpenDialog&) {
            ++inside.Dialogs;
            return QString();
        };
        QTimer::singleShot(0, &form, [this, &form, &inside] {
            inside.Ran = true;
            inside.Panel = form.PanelText(0);
            inside.CloseRefused = !form.close() && form.isVisible();
            inside.DropRefused = !form.DropFiles({fTable});
            // The export's options dialog must not come; if it does, it is
            // counted and closed.
            QTimer::singleShot(200, [&inside] {
                if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                    ++inside.Dialogs;
                    d->reject();
                }
            });
            form.CopyBtnClick();
            inside.TableActive =
                form.State().CurrentDataSet && form.State().CurrentDataSet->Active();
        });
    }

    void Check(const TInside& inside, const char* panelStart) {
        QVERIFY(inside.Ran);
        QVERIFY2(inside.Panel.startsWith(Q(panelStart)), qPrintable(inside.Panel));
        QVERIFY(inside.CloseRefused);
        QVERIFY(inside.DropRefused);
        QCOMPARE(inside.Dialogs, 0);
    }

    void Show(TForm1& form) {
        form.resize(800, 500);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
    }

private slots:
    void initTestCase() {
        QVERIFY(fDir.isValid());
        fTable = fDir.filePath(Q("big.dbf"));
        TDbfWriter w(fTable.toStdString(), dvDBase3, {{"ID", 'N', 7}, {"NAME", 'C', 10}});
        for (int i = 1; i <= Records; ++i)
            w.AddRecord({TValue::OfInt(i), TValue::OfText("N" + std::to_string(i % 977))});
        w.Finish();
    }
    void init() { QFile::remove(Store()); }

    // The close asked for while the table opens comes after the open.
    void openShowsItsStepAndACloseWaits() {
        QSettings store(Store(), QSettings::IniFormat);
        TForm1 form(store, true);
        Show(form);
        TInside inside;
        ArmInside(form, inside);
        form.OpenFile(fTable);
        Check(inside, "Opening big.dbf");
        QVERIFY(form.PanelText(0).isEmpty());
        QVERIFY(form.State().CurrentDataSet && form.State().CurrentDataSet->Active());
        QTRY_VERIFY(!form.isVisible());
        QVERIFY(!form.State().CurrentDataSet);
    }

    void titleClickSortShowsProgress() {
        QSettings store(Store(), QSettings::IniFormat);
        TForm1 form(store, true);
        Show(form);
        form.OpenFile(fTable);
        TDataSet* ds = form.State().CurrentDataSet.get();
        QVERIFY(ds && ds->Active());
        TKXDBGrid& grid = *form.Grid;
        const int col = grid.DataToRawColumn(grid.FindColumn("NAME"));
        const QPoint title = grid.CellRect(col, 0).center();
        TInside inside;
        ArmInside(form, inside);
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, title);
        Check(inside, "Sorting: ");
        QVERIFY(inside.TableActive);
        QCOMPARE(form.State().CurrentDataSet.get(), ds);
        QVERIFY(form.PanelText(0).isEmpty());
        // Sorted by name: the first record's name is the least.
        ds->First();
        QCOMPARE(QString::fromStdString(ds->FieldByName("NAME").AsString()), Q("N0"));
        QCOMPARE(ds->RecordCount(), Records);
        QTRY_VERIFY(!form.isVisible());
    }

    void filterShowsProgress() {
        QSettings store(Store(), QSettings::IniFormat);
        TForm1 form(store, true);
        Show(form);
        form.OpenFile(fTable);
        TDataSet* ds = form.State().CurrentDataSet.get();
        QVERIFY(ds && ds->Active());
        form.FilterEdit->setText(Q("ID > 150000"));
        form.FilterEditChange();
        QVERIFY(form.FilterCheck->isEnabled());
        TInside inside;
        ArmInside(form, inside);
        form.FilterCheckClick(true);
        Check(inside, "Filtering: ");
        QVERIFY(inside.TableActive);
        QVERIFY(form.FilterCheck->isChecked());
        QCOMPARE(ds->RecordCount(), Records - 150000);
        QVERIFY(form.PanelText(0).isEmpty());
        QCOMPARE(form.PanelText(1), Q("1 / ") + QString::number(Records - 150000));
        QTRY_VERIFY(!form.isVisible());
    }
};

QTEST_MAIN(LongWorkTest)
#include "LongWorkTest.moc"

// The open dialog: Qt's own file dialog with the program's check box,
// filters from the "Description|patterns" list, filter index, initial
// folder and file name, and its three events.

#include "tests/controls/WidgetTestSupport.h"

#include "controls/TKXOpenDialog.h"
#include "shell/OpenFileFilter.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

using namespace widgettest;

namespace {
void Touch(const QString& path) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
}
} // namespace

class OpenDialogTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        InitControls();
        UseStyle("Windows");
    }

    void filtersBecomeQtNameFilters() {
        const QStringList f = TKXOpenDialog::NameFilters(QLatin1String(TableFileFilter));
        QCOMPARE(f, (QStringList{QStringLiteral("Paradox, dBase tables (*.db, *.dbf) (*.db *.dbf)"),
                                 QStringLiteral("Text files (*.txt) (*.txt)"),
                                 QStringLiteral("Comma separated values (*.csv) (*.csv)"),
                                 QStringLiteral("All files (*.*) (*.*)")}));
        QCOMPARE(TKXOpenDialog::NameFilters(QStringLiteral("Odd|*.a;|Lone")),
                 QStringList{QStringLiteral("Odd (*.a)")});
        QVERIFY(TKXOpenDialog::NameFilters(QString()).isEmpty());
    }

    void aDroppedFileOpensTheDialogOnIt() {
        QTemporaryDir dir;
        Touch(dir.filePath(QStringLiteral("a.dbf")));
        Touch(dir.filePath(QStringLiteral("orders.csv")));
        TKXOpenDialog d;
        d.SetFilter(QLatin1String(TableFileFilter));
        d.SetInitialDir(dir.path());
        d.SetFilterIndex(DroppedFileFilterIndex("orders.csv"));
        d.SetFileName(QStringLiteral("orders.csv"));
        QFileDialog* dlg = d.Prepare();
        QVERIFY(dlg->testOption(QFileDialog::DontUseNativeDialog));
        QCOMPARE(dlg->directory().absolutePath(), QDir(dir.path()).absolutePath());
        QCOMPARE(dlg->selectedNameFilter(), QStringLiteral("Comma separated values (*.csv)"));
        QCOMPARE(dlg->selectedFiles().value(0), dir.filePath(QStringLiteral("orders.csv")));
        // The list shows the descriptions as written.
        auto* combo = dlg->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        QVERIFY(combo);
        QCOMPARE(combo->itemText(0), QStringLiteral("Paradox, dBase tables (*.db, *.dbf)"));
        QCOMPARE(combo->currentText(), QStringLiteral("Comma separated values (*.csv)"));
        // An index out of range falls back to the first filter.
        d.SetFilterIndex(9);
        dlg = d.Prepare();
        QCOMPARE(dlg->selectedNameFilter(), QStringLiteral("Paradox, dBase tables (*.db, *.dbf)"));
    }

    void theCheckBoxShowsOnlyWhenAsked() {
        TKXOpenDialog plain;
        plain.Prepare();
        QVERIFY(plain.CheckBox());
        QVERIFY(plain.CheckBox()->isHidden());
        QVERIFY(plain.Label()->isHidden());

        TKXOpenDialog d;
        int asked = 0;
        d.OnGetCheckParams = [&](TKXOpenDialog& sender, QCheckBox& box) {
            QCOMPARE(&sender, &d);
            QVERIFY(!box.isChecked());
            QVERIFY(box.text().isEmpty());
            box.setText(QStringLiteral("Connect via ADO"));
            box.setChecked(true);
            box.setEnabled(false);
            ++asked;
        };
        QFileDialog* dlg = d.Prepare();
        QCOMPARE(asked, 1);
        dlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(dlg));
        QCheckBox* box = d.CheckBox();
        QVERIFY(box->isVisible());
        QCOMPARE(box->text(), QStringLiteral("Connect via ADO"));
        QVERIFY(!box->isEnabled());
        QVERIFY(d.Label()->isHidden());
        // Below the dialog's own controls.
        auto* buttons = dlg->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
        QVERIFY(buttons);
        QVERIFY(box->mapTo(dlg, QPoint(0, 0)).y() > buttons->geometry().top());
        dlg->hide();
    }

    void confirmingReportsTheChoice() {
        QTemporaryDir dir;
        Touch(dir.filePath(QStringLiteral("stock.txt")));
        TKXOpenDialog d;
        d.SetFilter(QLatin1String(TableFileFilter));
        d.SetInitialDir(dir.path());
        int reported = 0;
        bool state = false;
        d.OnGetCheckParams = [](TKXOpenDialog&, QCheckBox& box) {
            box.setText(QStringLiteral("x"));
        };
        d.OnGetChecked = [&](TKXOpenDialog&, bool checked) {
            ++reported;
            state = checked;
        };
        // Cancelled: nothing is reported or changed.
        QFileDialog* dlg = d.Prepare();
        dlg->reject();
        QVERIFY(!d.Accepted());
        QCOMPARE(reported, 0);
        QCOMPARE(d.FileName(), QString());
        // Confirmed: the box's state, the file and the filter chosen.
        dlg = d.Prepare();
        d.CheckBox()->setChecked(true);
        dlg->selectNameFilter(dlg->nameFilters().at(1));
        dlg->selectFile(QStringLiteral("stock.txt"));
        static_cast<QDialog*>(dlg)->accept();
        QVERIFY(d.Accepted());
        QCOMPARE(reported, 1);
        QVERIFY(state);
        QCOMPARE(d.FileName(), dir.filePath(QStringLiteral("stock.txt")));
        QCOMPARE(d.FilterIndex(), 2);
    }

    void aTypedNameLeavesNoCompletionListOnScreen() {
        QTemporaryDir dir;
        Touch(dir.filePath(QStringLiteral("customers.dbf")));
        TKXOpenDialog d;
        d.SetFilter(QLatin1String(TableFileFilter));
        d.SetInitialDir(dir.path());
        QFileDialog* dlg = d.Prepare();
        dlg->show();
        auto* name = dlg->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        QCompleter* completer = name->completer();
        QVERIFY(completer);
        // The list as typing the name's start shows it, once the folder is
        // read; Enter accepts.
        name->setFocus();
        QTest::keyClicks(name, QStringLiteral("cust"));
        QTRY_VERIFY((completer->complete(), completer->popup()->isVisible()));
        QTest::keyClicks(name, QStringLiteral("omers.dbf"));
        QTest::keyClick(completer->popup()->isVisible() ? static_cast<QWidget*>(completer->popup())
                                                        : name,
                        Qt::Key_Return);
        QTRY_VERIFY(!dlg->isVisible());
        QVERIFY(d.Accepted());
        QCOMPARE(d.FileName(), dir.filePath(QStringLiteral("customers.dbf")));
        QVERIFY2(!completer->popup()->isVisible(), "the completion list stayed on screen");
        // A cancel closes it too.
        dlg = d.Prepare();
        dlg->show();
        name = dlg->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        completer = name->completer();
        name->setText(QStringLiteral("cust"));
        completer->setCompletionPrefix(QStringLiteral("cust"));
        QTRY_VERIFY((completer->complete(), completer->popup()->isVisible()));
        dlg->reject();
        QVERIFY(!completer->popup()->isVisible());
    }

    void folderChangesAreTold() {
        QTemporaryDir dir;
        TKXOpenDialog d;
        QString seen;
        d.OnGetFileInfo = [&](TKXOpenDialog&, const QString& folder, QLabel& label) {
            seen = folder;
            label.setText(QStringLiteral("3 tables"));
        };
        QFileDialog* dlg = d.Prepare();
        Q_EMIT dlg->directoryEntered(dir.path());
        QCOMPARE(seen, dir.path());
        QCOMPARE(d.Label()->text(), QStringLiteral("3 tables"));
    }
};

QTEST_MAIN(OpenDialogTest)
#include "OpenDialogTest.moc"

// The command line run by the main window, offscreen: the parameters given
// to the real window, which shows the table, exports it and answers with its
// boxes, closes after a successful export with -closeafter, and keeps an
// exit status that says whether the run failed.
#include "controls/TkxSoftButton.h"
#include "data/dataset/DataSet.h"
#include "data/drivers/dbf/DbfWriter.h"
#include "grid/KXDBGrid.h"
#include "shell/window/TForm1.h"
#include "tests/support/ModalDriver.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

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

class CommandLineWindowTest : public QObject {
    Q_OBJECT
    QTemporaryDir fDir;
    QString fTable;

    QString Store() const { return fDir.filePath(Q("settings.ini")); }
    std::string Path(const char* name) const { return fDir.filePath(Q(name)).toStdString(); }

    // Shows the window with the parameters; they run once the event loop
    // turns (the test waits for what they bring).
    static void Run(TForm1& form, std::vector<std::string> params) {
        form.SetCommandLine(std::move(params));
        form.resize(800, 500);
        form.show();
    }

private slots:
    void initTestCase() {
        QVERIFY(fDir.isValid());
        fTable = fDir.filePath(Q("people.dbf"));
        TDbfWriter w(fTable.toStdString(), dvDBase3,
                     {{"ID", 'N', 6}, {"NAME", 'C', 12}, {"NOTE", 'M'}});
        for (int i = 1; i <= 250; ++i)
            w.AddRecord({TValue::OfInt(i), TValue::OfText("n" + std::to_string(i)),
                         TValue::OfText("memo " + std::to_string(i))});
        w.Finish();
    }
    void init() { QFile::remove(Store()); }

    void exportShowsTheTableAndTheResultBox() {
        QSettings store(Store(), QSettings::IniFormat);
        TForm1 form(store, true);
        QString result;
        TModalDriver driver({TModalDriver::Box(&result)});
        Run(form, {"-export", fTable.toStdString(), Path("out.htm")});
        QTRY_COMPARE(driver.Handled(), 1);
        QCOMPARE(result, Q("250 records have been copied."));
        QVERIFY2(driver.Unexpected().isEmpty(), qPrintable(driver.Unexpected().join(Q("\n"))));
        // The table stays shown in the window, which stays open.
        TDataSet* ds = form.State().CurrentDataSet.get();
        QVERIFY(ds && ds->Active());
        QCOMPARE(form.windowTitle(), Q("Tabulon - people.dbf"));
        QVERIFY(form.CopyBtn->isEnabled());
        QCOMPARE(form.Grid->ColumnCount(), 3);
        QVERIFY(form.isVisible());
        QCOMPARE(form.ExitStatus(), 0);
        const QByteArray doc = Contents(fDir.filePath(Q("out.htm")));
        QVERIFY(doc.startsWith("<"));
        QVERIFY(doc.contains("n250"));
        QCOMPARE(form.State().Settings.FormatType, 1);
        QCOMPARE(form.State().Settings.ActionType, 0);
    }

    void closeAfterEndsWithoutABox() {
        {
            QSettings store(Store(), QSettings::IniFormat);
            TForm1 form(store, true);
            TModalDriver driver({});
            Run(form, {"/EXPORT", fTable.toStdString(), Path("out.dat"), "-separator=#59",
                       "-closeafter"});
            QTRY_VERIFY(!form.isVisible());
            QVERIFY2(driver.Unexpected().isEmpty(), qPrintable(driver.Unexpected().join(Q("\n"))));
            QCOMPARE(form.ExitStatus(), 0);
            QVERIFY(Contents(fDir.filePath(Q("out.dat"))).startsWith("ID;NAME;NOTE\r\n1;n1;"));
        }
        // What the run set was saved at the close.
        QSettings saved(Store(), QSettings::IniFormat);
        QCOMPARE(saved.value(Q("Settings/Separator")).toString(), Q(";"));
        QCOMPARE(saved.value(Q("Settings/FormatType")).toString(), Q("0"));
    }

    // An error shows its box, the window stays (-closeafter is not applied)
    // and the exit status says the run failed.
    void errorsShowTheirBoxAndFailTheRun_data() {
        QTest::addColumn<bool>("missingTable");
        QTest::newRow("no destination") << false;
        QTest::newRow("missing table") << true;
    }
    void errorsShowTheirBoxAndFailTheRun() {
        QFETCH(bool, missingTable);
        QSettings store(Store(), QSettings::IniFormat);
        TForm1 form(store, true);
        QString error;
        TModalDriver driver({TModalDriver::Box(&error)});
        const std::string missing = Path("missing.dbf");
        if (missingTable)
            Run(form, {"-ado", "-export", "-closeafter", missing, Path("never.txt")});
        else
            Run(form, {"-export", "-closeafter", fTable.toStdString()});
        QTRY_COMPARE(driver.Handled(), 1);
        QVERIFY2(driver.Unexpected().isEmpty(), qPrintable(driver.Unexpected().join(Q("\n"))));
        QVERIFY2(error.startsWith(Q("Errors in command line.\r\n")), qPrintable(error));
        if (missingTable) {
            QCOMPARE(error, Q("Errors in command line.\r\nFile does not exist:\r\r") +
                                QString::fromStdString(missing));
            QVERIFY(!form.State().CurrentDataSet);
            QCOMPARE(form.windowTitle(), Q("Tabulon"));
        } else {
            QVERIFY(error.endsWith(Q("\r\nDestination file name does not specified.")));
            QVERIFY(form.State().CurrentDataSet && form.State().CurrentDataSet->Active());
            QCOMPARE(form.windowTitle(), Q("Tabulon - people.dbf"));
        }
        QCOMPARE(form.ExitStatus(), 1);
        QTest::qWait(50);
        QVERIFY(form.isVisible());
        QCOMPARE(QDir(fDir.path()).entryList({Q("never*")}, QDir::Files), QStringList());
    }

    // A damaged memo file brings a warning for each record it spoils: one
    // box lists them, and the run still succeeds.
    void warningsComeInOneBox() {
        const QString memo = fDir.filePath(Q("people.dbt"));
        const QByteArray whole = Contents(memo);
        QVERIFY(whole.size() > 2048);
        {
            QFile f(memo);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(whole.left(1024));
        }
        QSettings store(Store(), QSettings::IniFormat);
        store.setValue(Q("Settings/IncludeMemoData"), Q("1"));
        store.sync();
        QString warnings;
        {
            TForm1 form(store, true);
            TModalDriver driver({TModalDriver::Box(&warnings)});
            Run(form, {"-export", "-closeafter", fTable.toStdString(), Path("memo.txt")});
            QTRY_VERIFY(!form.isVisible());
            QCOMPARE(driver.Handled(), 1);
            QVERIFY2(driver.Unexpected().size() == 0,
                     qPrintable(QString::number(driver.Unexpected().size()) + Q(" more boxes: ") +
                                driver.Unexpected().value(0)));
            QCOMPARE(form.ExitStatus(), 0);
        }
        QFile f(memo);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(whole);
        f.close();
        QVERIFY2(warnings.contains(Q("the memo of field 'NOTE' in record")), qPrintable(warnings));
        QVERIFY(warnings.contains(Q("(more warnings about the table are not shown)")));
        QVERIFY(warnings.count(QLatin1Char('\n')) >= 100);
        QVERIFY(Contents(fDir.filePath(Q("memo.txt"))).startsWith("ID\tNAME\tNOTE\r\n"));
    }
};

QTEST_MAIN(CommandLineWindowTest)
#include "CommandLineWindowTest.moc"

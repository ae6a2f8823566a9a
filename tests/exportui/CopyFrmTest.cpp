#include "shell/CopyFrm.h"
#include "controls/TKXButton.h"
#include "shell/Settings.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

class CopyFrmTest : public QObject {
    Q_OBJECT

    // The pictures of the records-per-line group that show now.
    static QList<int> ShownPictures(TCopyFrm& d) {
        QList<int> shown;
        int n = 1;
        for (QLabel* l : {d.Image1, d.Image2, d.Image3, d.Image4}) {
            if (!l->isHidden()) shown << n;
            ++n;
        }
        return shown;
    }

private slots:
    void lineCounts_data() {
        QTest::addColumn<int>("records");
        QTest::addColumn<QString>("perLine");
        QTest::addColumn<QString>("lines");
        QTest::addColumn<int>("picture");
        QTest::newRow("7 at 2") << 7 << "2"
                                << "4" << 2;
        QTest::newRow("10 at 3") << 10 << "3"
                                 << "4" << 3;
        QTest::newRow("9 at 3") << 9 << "3"
                                << "3" << 3;
        QTest::newRow("0 at 1") << 0 << "1"
                                << "0" << 1;
        QTest::newRow("0 at 5") << 0 << "5"
                                << "0" << 4;
        QTest::newRow("1 at 99") << 1 << "99"
                                 << "1" << 4;
        QTest::newRow("250 at 4") << 250 << "4"
                                  << "63" << 4;
        QTest::newRow("1000000 at 7") << 1000000 << "7"
                                      << "142858" << 4;
        QTest::newRow("100 at 10") << 100 << "10"
                                   << "10" << 4;
        QTest::newRow("one digit typed in the second place") << 5 << " 2"
                                                             << "3" << 2;
    }
    void lineCounts() {
        QFETCH(int, records);
        QFETCH(QString, perLine);
        QFETCH(QString, lines);
        QFETCH(int, picture);
        TSettings s;
        TCopyFrm d(nullptr, s, records);
        QCOMPARE(d.Label5->text(), QString::number(records));
        d.Edit1->setText(perLine);
        QCOMPARE(d.Label6->text(), lines);
        QCOMPARE(ShownPictures(d), QList<int>{picture});
        QVERIFY(d.OKBtn->isEnabled());
        QVERIFY(!d.SourcePicture->isHidden());
    }

    void countFromTheStoredSetting() {
        TSettings s;
        s.RecsPerLine = 3;
        TCopyFrm d(nullptr, s, 10);
        QCOMPARE(d.Edit1->text(), QStringLiteral("3"));
        QCOMPARE(d.Label6->text(), QStringLiteral("4"));
        QCOMPARE(ShownPictures(d), QList<int>{3});
    }

    void emptyOrZeroPerLineDisablesOK() {
        TSettings s;
        TCopyFrm d(nullptr, s, 7);
        d.Edit1->clear();
        QCOMPARE(d.RecsPerLineText(), QStringLiteral("   "));
        QVERIFY(!d.OKBtn->isEnabled());
        QVERIFY(d.Label6->text().isEmpty());
        QVERIFY(ShownPictures(d).isEmpty());
        QVERIFY(!d.SourcePicture->isHidden());
        for (const char* zero : {"0", "00"}) {
            d.Edit1->setText(QString::fromLatin1(zero));
            QVERIFY2(!d.OKBtn->isEnabled(), zero);
        }
        // Only digits go in, three at most; above 100 OK stays off.
        d.Edit1->clear();
        QTest::keyClicks(d.Edit1, QStringLiteral("a-1234"));
        QCOMPARE(d.Edit1->text(), QStringLiteral("123"));
        QVERIFY(!d.OKBtn->isEnabled());
        d.Edit1->setText(QStringLiteral("12"));
        QVERIFY(d.OKBtn->isEnabled());
    }

    void theLargestStoredCountSurvivesOK() {
        // A stored 100 once read back as 10 and OK saved that.
        TSettings s;
        s.RecsPerLine = 100;
        TCopyFrm d(nullptr, s, 250);
        QCOMPARE(d.Edit1->text(), QStringLiteral("100"));
        QCOMPARE(d.Label6->text(), QStringLiteral("3"));
        QVERIFY(d.OKBtn->isEnabled());
        d.OKBtn->click();
        QCOMPARE(s.RecsPerLine, 100);
    }

    void enterWithOKDisabledKeepsTheDialogAndTheSettings() {
        TSettings s;
        s.RecsPerLine = 4;
        TCopyFrm d(nullptr, s, 7);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        d.Edit1->clear();
        d.Edit1->setFocus();
        QTest::keyClick(d.Edit1, Qt::Key_Return);
        QVERIFY(d.isVisible());
        QCOMPARE(d.result(), int(QDialog::Rejected));
        QCOMPARE(s.RecsPerLine, 4);
        d.Edit1->setText(QStringLiteral("2"));
        QTest::keyClick(d.Edit1, Qt::Key_Return);
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(s.RecsPerLine, 2);
    }

    void storedSeparatorSelectsItsButton_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("other");
        QTest::newRow("tab") << "\t" << 1 << "";
        QTest::newRow("empty") << "" << 1 << "";
        QTest::newRow("two characters") << ";," << 1 << "";
        QTest::newRow("space") << " " << 2 << "";
        QTest::newRow("comma") << "," << 3 << "";
        QTest::newRow("semicolon") << ";" << 4 << "";
        QTest::newRow("bar") << "|" << 5 << "|";
        QTest::newRow("non-ASCII") << QStringLiteral("\u00a7") << 5 << QStringLiteral("\u00a7");
    }
    void storedSeparatorSelectsItsButton() {
        QFETCH(QString, stored);
        QFETCH(int, button);
        QFETCH(QString, other);
        TSettings s;
        s.Separator = stored.toStdString();
        TCopyFrm d(nullptr, s, 1);
        QRadioButton* buttons[] = {d.SepBtn1, d.SepBtn2, d.SepBtn3, d.SepBtn4, d.SepBtn5};
        QVERIFY(buttons[button - 1]->isChecked());
        QCOMPARE(d.SepEdit->text(), other);
        QCOMPARE(d.SepEdit->isEnabled(), button == 5);
    }

    void otherSeparatorEnablesItsBox() {
        TSettings s;
        TCopyFrm d(nullptr, s, 1);
        const QColor face = d.palette().color(QPalette::Button);
        QVERIFY(!d.SepEdit->isEnabled());
        QCOMPARE(d.SepEdit->palette().color(QPalette::Base), face);
        d.SepBtn5->click();
        QVERIFY(d.SepEdit->isEnabled());
        QCOMPARE(d.SepEdit->palette().color(QPalette::Base), d.palette().color(QPalette::Base));
        d.SepBtn3->click();
        QVERIFY(!d.SepEdit->isEnabled());
    }

    void storedSeparatorOnOK_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::newRow("tab") << 1 << ""
                             << "\t";
        QTest::newRow("space") << 2 << ""
                               << " ";
        QTest::newRow("comma") << 3 << ""
                               << ",";
        QTest::newRow("semicolon") << 4 << ""
                                   << ";";
        QTest::newRow("other bar") << 5 << "|"
                                   << "|";
        QTest::newRow("other left empty") << 5 << ""
                                          << "\t";
        QTest::newRow("other a blank") << 5 << " "
                                       << "\t";
    }
    void storedSeparatorOnOK() {
        QFETCH(int, button);
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        TSettings s;
        s.Separator = "x";
        TCopyFrm d(nullptr, s, 1);
        QRadioButton* buttons[] = {d.SepBtn1, d.SepBtn2, d.SepBtn3, d.SepBtn4, d.SepBtn5};
        buttons[button - 1]->click();
        d.SepEdit->setText(typed);
        d.OKBtn->click();
        QCOMPARE(QString::fromStdString(s.Separator), stored);
    }

    void separatorGroupOnlyForText() {
        TSettings s;
        s.FormatType = 1;
        s.Separator = ";";
        TCopyFrm d(nullptr, s, 1);
        QVERIFY(d.SepGrp->isHidden());
        d.Formats->button(0)->click();
        QVERIFY(!d.SepGrp->isHidden());
        d.Formats->button(5)->click(); // XLSX
        QVERIFY(d.SepGrp->isHidden());
        d.OKBtn->click();
        QCOMPARE(s.FormatType, 5);
        QCOMPARE(s.Separator, std::string(";"));
    }

    void cancelLeavesEverySetting() {
        TSettings s;
        s.ActionType = 2;
        s.FormatType = 3;
        s.RangeType = 1;
        s.RecsPerLine = 5;
        s.Separator = "|";
        const TSettings before = s;
        TCopyFrm d(nullptr, s, 20);
        d.Actions->button(1)->click();
        d.Formats->button(4)->click();
        d.Ranges->button(3)->click();
        d.Edit1->setText(QStringLiteral("9"));
        d.SepBtn2->click();
        d.CancelBtn->click();
        QCOMPARE(d.result(), int(QDialog::Rejected));
        QCOMPARE(s.ActionType, before.ActionType);
        QCOMPARE(s.FormatType, before.FormatType);
        QCOMPARE(s.RangeType, before.RangeType);
        QCOMPARE(s.RecsPerLine, before.RecsPerLine);
        QCOMPARE(s.Separator, before.Separator);
    }

    // What the dialog stores is what the next start reads back.
    void choicesSurviveASaveAndLoad() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString file = dir.filePath(QStringLiteral("tabulon.ini"));
        TSettings s;
        TCopyFrm d(nullptr, s, 20);
        QCOMPARE(d.Actions->checkedId(), 0);
        QCOMPARE(d.Ranges->checkedId(), 0);
        d.Actions->button(3)->click();
        d.Formats->button(0)->click();
        d.Ranges->button(2)->click();
        d.Edit1->setText(QStringLiteral("12"));
        d.SepBtn5->click();
        d.SepEdit->setText(QStringLiteral("#"));
        d.OKBtn->click();
        {
            QSettings store(file, QSettings::IniFormat);
            s.SaveSettings(store);
        }
        TSettings loaded;
        QSettings store(file, QSettings::IniFormat);
        loaded.LoadSettings(store);
        QCOMPARE(loaded.ActionType, 3);
        QCOMPARE(loaded.FormatType, 0);
        QCOMPARE(loaded.RangeType, 2);
        QCOMPARE(loaded.RecsPerLine, 12);
        QCOMPARE(loaded.Separator, std::string("#"));
        TCopyFrm again(nullptr, loaded, 20);
        QVERIFY(again.Actions->button(3)->isChecked());
        QVERIFY(again.Ranges->button(2)->isChecked());
        QVERIFY(again.SepBtn5->isChecked());
        QCOMPARE(again.Label6->text(), QStringLiteral("2"));
    }

    // The drawings: white numbered cells, 2, 4, 6 and 8 to a row.
    void picturesHoldTheirCells() {
        const QImage one = TCopyFrm::LinesPicture(1).toImage();
        const QImage four = TCopyFrm::LinesPicture(4).toImage();
        QCOMPARE(one.size(), QSize(29, 33));
        QCOMPARE(four.size(), QSize(113, 9));
        QCOMPARE(TCopyFrm::LinesPicture(2).size(), QSize(57, 17));
        QCOMPARE(TCopyFrm::LinesPicture(3).size(), QSize(85, 17));
        QCOMPARE(TCopyFrm::LinesPicture(0).size(), QSize(29, 47));
        // Outside the cells of the second row of three per line: transparent.
        const QImage three = TCopyFrm::LinesPicture(3).toImage();
        QCOMPARE(qAlpha(three.pixel(60, 12)), 0);
        QCOMPARE(three.pixelColor(2, 2), QColor(Qt::white));
        // The arrow beneath the source is red.
        const QImage source = TCopyFrm::LinesPicture(0).toImage();
        QCOMPARE(source.pixelColor(14, 38), QColor(Qt::red));
    }
};

QTEST_MAIN(CopyFrmTest)
#include "CopyFrmTest.moc"

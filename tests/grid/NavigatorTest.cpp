// The record navigator over a real dBase table: which buttons are enabled
// in every state of the dataset, what each button does to the table file,
// hints, auto-repeat, keyboard and focus, and the layout of every set of
// visible buttons.

#include "tests/controls/WidgetTestSupport.h"

#include "controls/ErrorDisplay.h"
#include "controls/Glyphs.h"
#include "data/base/DatabaseError.h"
#include "data/dataset/DataSource.h"
#include "data/drivers/dbf/DbfDriver.h"
#include "data/drivers/dbf/DbfWriter.h"
#include "data/engines/Table.h"
#include "grid/TkxDBNavigator.h"
#include "grid/TkxNavButton.h"

#include <QLineEdit>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

using namespace widgettest;

namespace {
std::string Path(const QTemporaryDir& dir, const char* name) {
    return dir.filePath(QLatin1String(name)).toStdString();
}

void WriteTable(const std::string& path, int records) {
    std::vector<std::vector<TValue>> rows;
    for (int i = 1; i <= records; ++i)
        rows.push_back({TValue::OfText("Name " + std::to_string(i)), TValue::OfInt(i)});
    TDbfWriter::Write(path, dvDBase3, {{"NAME", 'C', 20}, {"QTY", 'N', 5}}, rows);
}

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Another program appends a record (a copy of the first with a new name).
void AppendElsewhere(const std::string& path, const std::string& name) {
    std::string b = FileBytes(path);
    uint32_t count = 0;
    uint16_t header = 0, length = 0;
    std::memcpy(&count, b.data() + 4, 4);
    std::memcpy(&header, b.data() + 8, 2);
    std::memcpy(&length, b.data() + 10, 2);
    std::string record = b.substr(header, length);
    std::string field = name;
    field.resize(20, ' ');
    record.replace(1, 20, field);
    b.insert(header + count * length, record);
    ++count;
    std::memcpy(b.data() + 4, &count, 4);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << b;
}

// The table as another reader of the file sees it: the names of the live
// records.
std::vector<std::string> Names(const std::string& path) {
    TDbfDriver d;
    TFieldDefs fields;
    TIndexDefs indexes;
    d.Open(path, fields, indexes);
    std::vector<std::string> out;
    for (uint32_t r = 0; r < d.RecordCount(); ++r) {
        if (!d.RecordLive(r)) continue;
        TValue v;
        d.GetValue(r, 0, v);
        out.push_back(v.Text);
    }
    return out;
}

// Which buttons are enabled, first to refresh, as 0s and 1s.
QByteArray Enabled(const TkxDBNavigator& nav) {
    QByteArray s;
    for (int i = 0; i < NavButtonCount; ++i)
        s += nav.Button(static_cast<TkxNavigateBtn>(i))->isEnabled() ? '1' : '0';
    return s;
}

void Mouse(QWidget& w, QEvent::Type type, QPoint pos) {
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, QPointF(pos), QPointF(w.mapToGlobal(pos)), Qt::LeftButton, held,
                  Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &e);
}

// A table file with its dataset, data source and a navigator bound to it.
struct TBench {
    QTemporaryDir Dir;
    std::string File;
    TTable Table;
    TDataSource Source{&Table};
    QWidget Window;
    TkxDBNavigator& Nav = *new TkxDBNavigator(&Window);
    explicit TBench(int records, bool readOnly = false) {
        File = Path(Dir, "people.dbf");
        WriteTable(File, records);
        Table.SetDatabaseName(Dir.path().toStdString());
        Table.SetTableName("people.dbf");
        Table.SetReadOnly(readOnly);
        Table.Open();
        Nav.SetDataSource(&Source);
        Nav.OnConfirm = [](TkxDBNavigator&, const QString&) -> bool {
            throw std::logic_error("no confirmation expected");
        };
    }
    std::string Name() { return Table.FieldByName("NAME").AsString(); }
};
} // namespace

class NavigatorTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        InitControls();
        UseStyle("Windows");
    }

    void startsAsDesigned() {
        TkxDBNavigator nav;
        QCOMPARE(nav.size(), QSize(240, 25)); // 241 rounded to ten equal buttons
        QCOMPARE(nav.ButtonWidth(), 24);
        QVERIFY(nav.VisibleButtons().all());
        QVERIFY(!nav.Flat());
        QVERIFY(nav.Shadowed());
        QCOMPARE(nav.EdgeForm(), efRect);
        QCOMPARE(nav.HiLightMode(), 0);
        QVERIFY(nav.Hints().isEmpty());
        QVERIFY(nav.ConfirmDelete());
        QCOMPARE(nav.FocusedButton(), nbFirst);
        QVERIFY(nav.autoFillBackground());
        for (int i = 0; i < NavButtonCount; ++i) {
            TkxNavButton* b = nav.Button(static_cast<TkxNavigateBtn>(i));
            QCOMPARE(b->Index(), static_cast<TkxNavigateBtn>(i));
            QCOMPARE(b->NumGlyphs(), 2); // enabled and disabled images
            QCOMPARE(b->Glyph().toImage(), NavigatorGlyph(i).toImage());
            QCOMPARE(b->AutoRepeat(), i == nbPrior || i == nbNext);
            QCOMPARE(b->EdgeForm(), efRect);
            QCOMPARE(b->geometry(), QRect(i * 24, 0, 24, 25));
        }
        QCOMPARE(Enabled(nav), QByteArray("0000000000"));
        // As the main window has it.
        nav.SetFlat(true);
        nav.SetShadowed(false);
        nav.SetEdgeForm(efRoundRect);
        nav.SetHiLightMode(5);
        for (int i = 0; i < NavButtonCount; ++i) {
            TkxNavButton* b = nav.Button(static_cast<TkxNavigateBtn>(i));
            QVERIFY(b->Flat() && !b->Shadowed());
            QCOMPARE(b->EdgeForm(), efRoundRect);
            QCOMPARE(b->HiLightMode(), 3);
        }
    }

    void enablingInEveryState() {
        TBench t(3);
        QCOMPARE(Enabled(t.Nav), QByteArray("0011111001")); // first record
        t.Table.Next();
        QCOMPARE(Enabled(t.Nav), QByteArray("1111111001"));
        t.Table.Last();
        QCOMPARE(Enabled(t.Nav), QByteArray("1100111001"));
        t.Table.First();
        t.Table.Edit();
        QCOMPARE(Enabled(t.Nav), QByteArray("0011110111"));
        t.Table.Cancel();
        QCOMPARE(Enabled(t.Nav), QByteArray("0011111001"));
        t.Table.Insert();
        QCOMPARE(Enabled(t.Nav).mid(nbInsert), QByteArray("110111"));
        t.Table.Cancel();
        // The navigator disabled, then enabled again.
        t.Nav.setEnabled(false);
        QCOMPARE(Enabled(t.Nav), QByteArray("0000000000"));
        t.Nav.setEnabled(true);
        QCOMPARE(Enabled(t.Nav), QByteArray("0011111001"));
        // Closed, and open again.
        t.Table.Close();
        QCOMPARE(Enabled(t.Nav), QByteArray("0000000000"));
        t.Table.Open();
        QCOMPARE(Enabled(t.Nav), QByteArray("0011111001"));
        // A data source that is switched off.
        t.Source.SetEnabled(false);
        QCOMPARE(Enabled(t.Nav), QByteArray("0000000000"));
        t.Source.SetEnabled(true);
        QCOMPARE(Enabled(t.Nav), QByteArray("0011111001"));
        t.Nav.SetDataSource(nullptr);
        QCOMPARE(Enabled(t.Nav), QByteArray("0000000000"));
    }

    void enablingOfEmptyAndReadOnlyTables() {
        TBench empty(0);
        QCOMPARE(Enabled(empty.Nav), QByteArray("0000101001")); // insert, edit, refresh
        TBench readOnly(3, true);
        QCOMPARE(Enabled(readOnly.Nav), QByteArray("0011000000"));
        readOnly.Table.Last();
        QCOMPARE(Enabled(readOnly.Nav), QByteArray("1100000000"));
    }

    void aFreedDataSourceLeavesTheNavigator() {
        TkxDBNavigator nav;
        QTemporaryDir dir;
        WriteTable(Path(dir, "t.dbf"), 2);
        TTable table;
        table.SetDatabaseName(dir.path().toStdString());
        table.SetTableName("t.dbf");
        table.Open();
        {
            TDataSource source(&table);
            nav.SetDataSource(&source);
            QCOMPARE(Enabled(nav), QByteArray("0011111001"));
        }
        QCOMPARE(nav.DataSource(), nullptr);
        QCOMPARE(Enabled(nav), QByteArray("0000000000"));
    }

    void actionsChangeTheTableFile() {
        TBench t(3);
        // Insert and post.
        t.Nav.BtnClick(nbInsert);
        QCOMPARE(t.Table.State(), dsInsert);
        t.Table.FieldByName("NAME").SetAsString("Added");
        t.Nav.BtnClick(nbPost);
        QCOMPARE(t.Table.State(), dsBrowse);
        QCOMPARE(Names(t.File).size(), size_t(4));
        QCOMPARE(Names(t.File).back(), std::string("Added"));
        // Edit and post (the new record stands where it was inserted, before
        // the first; the last is the file's third).
        t.Nav.BtnClick(nbLast);
        t.Nav.BtnClick(nbEdit);
        t.Table.FieldByName("NAME").SetAsString("Changed");
        t.Nav.BtnClick(nbPost);
        QCOMPARE(Names(t.File), (std::vector<std::string>{"Name 1", "Name 2", "Changed", "Added"}));
        // Edit and cancel: the file stays as it was.
        const std::string before = FileBytes(t.File);
        t.Nav.BtnClick(nbPrior);
        t.Nav.BtnClick(nbEdit);
        t.Table.FieldByName("NAME").SetAsString("Dropped");
        t.Nav.BtnClick(nbCancel);
        QCOMPARE(t.Name(), std::string("Name 2"));
        QVERIFY(FileBytes(t.File) == before);
        // Moves.
        t.Nav.BtnClick(nbFirst);
        QCOMPARE(t.Name(), std::string("Added"));
        t.Nav.BtnClick(nbNext);
        QCOMPARE(t.Name(), std::string("Name 1"));
    }

    void deletingAsksFirst() {
        TBench t(3);
        QStringList asked;
        bool answer = false;
        TkxDBNavigator* sender = nullptr;
        t.Nav.OnConfirm = [&](TkxDBNavigator& nav, const QString& question) {
            sender = &nav;
            asked << question;
            return answer;
        };
        t.Table.Next();
        const std::string before = FileBytes(t.File);
        t.Nav.BtnClick(nbDelete); // Cancel
        QCOMPARE(asked, QStringList{QStringLiteral("Delete record?")});
        QCOMPARE(sender, &t.Nav);
        QVERIFY(FileBytes(t.File) == before);
        QCOMPARE(t.Table.RecordCount(), 3);
        answer = true;
        t.Nav.BtnClick(nbDelete); // OK
        QCOMPARE(asked.size(), 2);
        QCOMPARE(Names(t.File), (std::vector<std::string>{"Name 1", "Name 3"}));
        t.Nav.SetConfirmDelete(false);
        t.Nav.BtnClick(nbDelete);
        QCOMPARE(asked.size(), 2);
        QCOMPARE(Names(t.File).size(), size_t(1));
    }

    void refreshSeesAnotherWriter() {
        TBench t(2);
        AppendElsewhere(t.File, "From elsewhere");
        QCOMPARE(t.Table.RecordCount(), 2);
        t.Nav.BtnClick(nbRefresh);
        QCOMPARE(t.Table.RecordCount(), 3);
        t.Nav.BtnClick(nbLast);
        QCOMPARE(t.Name(), std::string("From elsewhere"));
    }

    void beforeActionAndOnClick() {
        TBench t(3);
        QStringList log;
        t.Nav.BeforeAction = [&](TkxDBNavigator&, TkxNavigateBtn b) {
            log << QStringLiteral("before %1 at %2").arg(b).arg(t.Table.RecNo());
        };
        t.Nav.OnClick = [&](TkxDBNavigator&, TkxNavigateBtn b) {
            log << QStringLiteral("click %1 at %2").arg(b).arg(t.Table.RecNo());
        };
        t.Nav.BtnClick(nbNext);
        QCOMPARE(log,
                 (QStringList{QStringLiteral("before 2 at 1"), QStringLiteral("click 2 at 2")}));
        // A failing operation raises, and OnClick is not raised.
        TBench readOnly(2, true);
        readOnly.Nav.OnClick = t.Nav.OnClick;
        bool raised = false;
        try {
            readOnly.Nav.BtnClick(nbEdit);
        } catch (const EDatabaseError&) {
            raised = true;
        }
        QVERIFY(raised);
        QCOMPARE(log.size(), 2);
        // Clicked with the mouse, the failure goes to the error display.
        std::string shown;
        SetErrorHandler([&](const std::string& m) { shown = m; });
        t.Nav.BeforeAction = [](TkxDBNavigator&, TkxNavigateBtn) {
            throw std::runtime_error("refused");
        };
        TkxNavButton* next = t.Nav.Button(nbNext);
        Mouse(*next, QEvent::MouseButtonPress, QPoint(5, 5));
        Mouse(*next, QEvent::MouseButtonRelease, QPoint(5, 5));
        QCOMPARE(shown, std::string("refused"));
        SetErrorHandler(nullptr);
        // Without an open dataset only OnClick runs.
        t.Table.Close();
        log.clear();
        t.Nav.BeforeAction = [&](TkxDBNavigator&, TkxNavigateBtn) {
            log << QStringLiteral("before");
        };
        t.Nav.OnClick = [&](TkxDBNavigator&, TkxNavigateBtn b) {
            log << QStringLiteral("click %1").arg(b);
        };
        t.Nav.BtnClick(nbFirst);
        QCOMPARE(log, QStringList{QStringLiteral("click 0")});
    }

    void buttonsClickWhatTheyShow() {
        TBench t(3);
        TkxNavButton* last = t.Nav.Button(nbLast);
        Mouse(*last, QEvent::MouseButtonPress, QPoint(5, 5));
        Mouse(*last, QEvent::MouseButtonRelease, QPoint(5, 5));
        QCOMPARE(t.Table.RecNo(), 3);
        QVERIFY(!last->isEnabled());
    }

    void hints() {
        TkxDBNavigator nav;
        const QStringList defaults = TkxDBNavigator::DefaultHints();
        QCOMPARE(defaults.size(), 10);
        QCOMPARE(defaults[1], QStringLiteral("Prior record"));
        QCOMPARE(defaults[9], QStringLiteral("Refresh data"));
        for (int i = 0; i < NavButtonCount; ++i)
            QCOMPARE(nav.Button(static_cast<TkxNavigateBtn>(i))->toolTip(), defaults[i]);
        // Custom hints: an empty line keeps the default; short and long parts.
        nav.SetHints({QStringLiteral("Go first|Moves to the first record"), QString(),
                      QStringLiteral("Next one")});
        QCOMPARE(nav.Button(nbFirst)->toolTip(), QStringLiteral("Go first"));
        QCOMPARE(nav.Button(nbFirst)->statusTip(), QStringLiteral("Moves to the first record"));
        QCOMPARE(nav.Button(nbPrior)->toolTip(), QStringLiteral("Prior record"));
        QCOMPARE(nav.Button(nbNext)->toolTip(), QStringLiteral("Next one"));
        QCOMPARE(nav.Button(nbLast)->toolTip(), QStringLiteral("Last record"));
        // The defaults given back are no custom list.
        nav.SetHints(defaults);
        QVERIFY(nav.Hints().isEmpty());
        QCOMPARE(nav.Button(nbFirst)->toolTip(), QStringLiteral("First record"));
        // The main window's hints.
        const QStringList window = {
            QStringLiteral("First record"),   QStringLiteral("Previous record"),
            QStringLiteral("Next record"),    QStringLiteral("Last record"),
            QStringLiteral("Insert record"),  QStringLiteral("Delete record"),
            QStringLiteral("Edit"),           QStringLiteral("Post changes"),
            QStringLiteral("Cancel changes"), QStringLiteral("Refresh")};
        nav.SetHints(window);
        QCOMPARE(nav.Hints(), window);
        QCOMPARE(nav.Button(nbPrior)->toolTip(), QStringLiteral("Previous record"));
        QCOMPARE(nav.Button(nbRefresh)->statusTip(), QStringLiteral("Refresh"));
        nav.SetShowHint(false);
        QCOMPARE(nav.Button(nbPrior)->toolTip(), QString());
        QCOMPARE(nav.Button(nbPrior)->statusTip(), QStringLiteral("Previous record"));
    }

    void holdingNextRepeats() {
        TBench t(8);
        TkxNavButton* next = t.Nav.Button(nbNext);
        Mouse(*next, QEvent::MouseButtonPress, QPoint(5, 5));
        QTimer* timer = next->RepeatTimer();
        QVERIFY(timer);
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 400);
        QCOMPARE(t.Table.RecNo(), 1); // the press itself does not move
        next->RepeatTick();           // 400 ms
        QCOMPARE(t.Table.RecNo(), 2);
        QCOMPARE(timer->interval(), 100);
        next->RepeatTick(); // 500 ms
        next->RepeatTick(); // 600 ms
        QCOMPARE(t.Table.RecNo(), 4);
        // Dragged off the button it is no longer down: the ticks do nothing.
        Mouse(*next, QEvent::MouseMove, QPoint(-10, 5));
        next->RepeatTick();
        QCOMPARE(t.Table.RecNo(), 4);
        Mouse(*next, QEvent::MouseMove, QPoint(5, 5));
        Mouse(*next, QEvent::MouseButtonRelease, QPoint(5, 5));
        QVERIFY(!timer->isActive());
        QCOMPARE(t.Table.RecNo(), 5); // the release clicks once more
        // Buttons other than prior and next do not repeat.
        TkxNavButton* last = t.Nav.Button(nbLast);
        Mouse(*last, QEvent::MouseButtonPress, QPoint(5, 5));
        QVERIFY(!last->RepeatTimer());
        Mouse(*last, QEvent::MouseButtonRelease, QPoint(-5, 5));
        // A click that fails stops the repeat.
        TkxNavButton* prior = t.Nav.Button(nbPrior);
        Mouse(*prior, QEvent::MouseButtonPress, QPoint(5, 5));
        t.Nav.BeforeAction = [](TkxDBNavigator&, TkxNavigateBtn) {
            throw std::runtime_error("no");
        };
        bool raised = false;
        try {
            prior->RepeatTick();
        } catch (const std::runtime_error&) {
            raised = true;
        }
        QVERIFY(raised);
        QVERIFY(!prior->RepeatTimer()->isActive());
        SetErrorHandler([](const std::string&) {});
        Mouse(*prior, QEvent::MouseButtonRelease, QPoint(-5, 5));
        SetErrorHandler(nullptr);
    }

    void keyboardAndFocus() {
        TBench t(5);
        QWidget& window = t.Window;
        window.resize(300, 60);
        auto* edit = new QLineEdit(&window);
        edit->move(0, 30);
        t.Nav.SetTabStop(true);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        edit->setFocus();
        QVERIFY(!t.Nav.hasFocus());
        // A press takes the focus and makes the pressed button the focused one.
        TkxNavButton* last = t.Nav.Button(nbLast);
        Mouse(*last, QEvent::MouseButtonPress, QPoint(5, 5));
        Mouse(*last, QEvent::MouseButtonRelease, QPoint(-5, 5));
        QVERIFY(t.Nav.hasFocus());
        QCOMPARE(t.Nav.FocusedButton(), nbLast);
        // The focus rectangle, 3 pixels inside the focused button only.
        CHECK_PIXEL(last->grab().toImage(), 3, 3, clBtnText);
        QVERIFY(Pixel(t.Nav.Button(nbNext)->grab().toImage(), 3, 3) != ColorToRGB(clBtnText));
        QTest::keyClick(&t.Nav, Qt::Key_Left);
        QCOMPARE(t.Nav.FocusedButton(), nbNext);
        QTest::keyClick(&t.Nav, Qt::Key_Space);
        QCOMPARE(t.Table.RecNo(), 2);
        // Hidden buttons are skipped; the ends stop the movement.
        t.Nav.SetVisibleButtons(NavButtons({nbFirst, nbNext, nbRefresh}));
        QTest::keyClick(&t.Nav, Qt::Key_Left);
        QCOMPARE(t.Nav.FocusedButton(), nbFirst);
        QTest::keyClick(&t.Nav, Qt::Key_Left);
        QCOMPARE(t.Nav.FocusedButton(), nbFirst);
        QTest::keyClick(&t.Nav, Qt::Key_Right);
        QCOMPARE(t.Nav.FocusedButton(), nbNext);
        QTest::keyClick(&t.Nav, Qt::Key_Right);
        QTest::keyClick(&t.Nav, Qt::Key_Right);
        QCOMPARE(t.Nav.FocusedButton(), nbRefresh);
        // Space on a disabled button does nothing.
        t.Table.Close();
        t.Nav.OnClick = [](TkxDBNavigator&, TkxNavigateBtn) { QFAIL("clicked"); };
        QTest::keyClick(&t.Nav, Qt::Key_Space);
        t.Nav.OnClick = nullptr;
    }

    void layoutForEveryVisibleSet() {
        TkxDBNavigator nav;
        for (unsigned bits = 0; bits < (1u << NavButtonCount); ++bits) {
            const TkxButtonSet set(bits);
            nav.SetVisibleButtons(set);
            const int n = std::max<int>(1, static_cast<int>(set.count()));
            for (int want : {10, 100, 241, 270}) {
                nav.SetBounds(0, 0, want, 25);
                const int width = std::max(want, n * 20) / n * n;
                QCOMPARE(nav.width(), width);
                QCOMPARE(nav.minimumSize(), QSize(n * 20, 18));
                int x = 0;
                for (int i = 0; i < NavButtonCount; ++i) {
                    const QRect g = nav.Button(static_cast<TkxNavigateBtn>(i))->geometry();
                    if (set.test(static_cast<size_t>(i))) {
                        QCOMPARE(g, QRect(x, 0, width / n, 25));
                        x += width / n;
                    } else {
                        QVERIFY(nav.Button(static_cast<TkxNavigateBtn>(i))->isHidden());
                        QCOMPARE(g.left(), width + 1);
                    }
                }
                QCOMPARE(x, set.none() ? 0 : width);
            }
        }
        // Low heights are raised to 18.
        nav.SetVisibleButtons(AllNavButtons());
        nav.SetBounds(0, 0, 50, 10);
        QCOMPARE(nav.size(), QSize(200, 18));
    }

    void alignedNavigatorsSpreadTheRest() {
        QWidget parent;
        parent.resize(100, 50);
        TkxDBNavigator* nav = new TkxDBNavigator(&parent);
        nav->SetVisibleButtons(NavButtons({nbFirst, nbNext, nbRefresh}));
        // Not aligned: 100 becomes 99, buttons of 33.
        nav->SetBounds(0, 0, 100, 25);
        QCOMPARE(nav->width(), 99);
        QCOMPARE(nav->Button(nbNext)->width(), 33);
        // Aligned to the parent's top: 33, 34 and 33.
        nav->SetAlign(alTop);
        QCOMPARE(nav->geometry(), QRect(0, 0, 100, 25));
        QCOMPARE(nav->Button(nbFirst)->geometry(), QRect(0, 0, 33, 25));
        QCOMPARE(nav->Button(nbNext)->geometry(), QRect(33, 0, 34, 25));
        QCOMPARE(nav->Button(nbRefresh)->geometry(), QRect(67, 0, 33, 25));
        // Ten buttons on 245 pixels: every second button gets one more.
        nav->SetVisibleButtons(AllNavButtons());
        parent.resize(245, 50);
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));
        QCOMPARE(nav->width(), 245);
        for (int i = 0; i < NavButtonCount; ++i)
            QCOMPARE(nav->Button(static_cast<TkxNavigateBtn>(i))->width(), i % 2 ? 25 : 24);
        // A resize by the window system follows the same rules.
        nav->SetAlign(alNone);
        nav->resize(133, 25);
        QCOMPARE(nav->width(), 200);
        nav->resize(255, 25);
        QCOMPARE(nav->width(), 250);
        QCOMPARE(nav->ButtonWidth(), 25);
    }
};

QTEST_MAIN(NavigatorTest)
#include "NavigatorTest.moc"

#pragma once

// Shared by the grid's Qt Test programs: tables in memory and on disk, a
// window holding a grid over a table, clicks and keys on cells, pictures
// of the grid.

#include "tests/controls/WidgetTestSupport.h"

#include "controls/ErrorDisplay.h"
#include "data/dataset/DataSet.h"
#include "data/dataset/DataSource.h"
#include "data/dataset/MemTable.h"
#include "data/drivers/dbf/DbfWriter.h"
#include "grid/KXDBGrid.h"

#include <QApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace gridtest {

// NAME (string 20) "Name 1"...; QTY (integer) 1, 2, 3...; records in order.
inline void FillNames(TMemTable& t, int records) {
    t.FieldDefs().Add("NAME", ftString, 20);
    t.FieldDefs().Add("QTY", ftInteger);
    t.Open();
    for (int i = 1; i <= records; ++i)
        t.AppendRecord({TValue::OfText("Name " + std::to_string(i)), TValue::OfInt(i)});
    t.First();
}

// A table that notes which of its records were read.
class TCountingTable : public TMemTable {
public:
    std::set<uint32_t> Read;

protected:
    void InternalGetValue(uint32_t rec, int fieldNo, TValue& out) override {
        Read.insert(rec);
        TMemTable::InternalGetValue(rec, fieldNo, out);
    }
};

inline std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline std::string PathIn(const QTemporaryDir& dir, const char* name) {
    return dir.filePath(QLatin1String(name)).toStdString();
}

// A window with one grid filling it, over a data source of `dataSet`.
class TGridWindow {
public:
    explicit TGridWindow(TDataSet* dataSet, QSize size = QSize(600, 400)) {
        Grid = new TKXDBGrid(&Window);
        Window.resize(size);
        Grid->setGeometry(0, 0, size.width(), size.height());
        Source.SetDataSet(dataSet);
        Grid->SetDataSource(&Source);
        Window.show();
        Window.activateWindow();
        QApplication::setActiveWindow(&Window);
        (void)QTest::qWaitForWindowExposed(&Window);
        Grid->setFocus(Qt::OtherFocusReason);
        QApplication::processEvents();
    }
    ~TGridWindow() { Grid->SetDataSource(nullptr); }
    TGridWindow(const TGridWindow&) = delete;
    TGridWindow& operator=(const TGridWindow&) = delete;

    TDataSource Source;
    QWidget Window;
    TKXDBGrid* Grid = nullptr;
};

inline QPoint CellCenter(TDBGrid& grid, int col, int row) {
    return grid.CellRect(col, row).center();
}

inline void Click(TDBGrid& grid, QPoint at, Qt::KeyboardModifiers mods = Qt::NoModifier,
                  Qt::MouseButton button = Qt::LeftButton) {
    QTest::mousePress(grid.viewport(), button, mods, at);
    QTest::mouseRelease(grid.viewport(), button, mods, at, 10);
}

inline void ClickCell(TDBGrid& grid, int col, int row,
                      Qt::KeyboardModifiers mods = Qt::NoModifier) {
    Click(grid, CellCenter(grid, col, row), mods);
}

inline void Move(TDBGrid& grid, QPoint to, Qt::MouseButtons buttons = Qt::LeftButton) {
    QMouseEvent e(QEvent::MouseMove, QPointF(to), grid.viewport()->mapToGlobal(QPointF(to)),
                  Qt::NoButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(grid.viewport(), &e);
}

inline void Key(QWidget& w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(&w, static_cast<Qt::Key>(key), mods);
}

inline void Wheel(TDBGrid& grid, int delta, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    const QPoint at = grid.viewport()->rect().center();
    QWheelEvent e(QPointF(at), grid.viewport()->mapToGlobal(QPointF(at)), QPoint(),
                  QPoint(0, delta), Qt::NoButton, mods, Qt::NoScrollPhase, false);
    QApplication::sendEvent(grid.viewport(), &e);
}

inline QImage Render(TDBGrid& grid) {
    return grid.viewport()->grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

// The text of a field of the record on data row `row` (0 the first on screen).
inline std::string RowText(TDBGrid& grid, int row, const char* field) {
    TGridDataLink& link = grid.DataLink();
    const int saved = link.ActiveRecord();
    link.SetActiveRecord(row);
    std::string s = grid.DataSet()->FieldByName(field).DisplayText();
    link.SetActiveRecord(saved);
    return s;
}

// Collects what the error display would show.
class TErrorCatcher {
public:
    TErrorCatcher() {
        SetErrorHandler([this](const std::string& m) { Messages.push_back(m); });
    }
    ~TErrorCatcher() { SetErrorHandler(nullptr); }
    TErrorCatcher(const TErrorCatcher&) = delete;
    TErrorCatcher& operator=(const TErrorCatcher&) = delete;
    std::vector<std::string> Messages;
};

} // namespace gridtest

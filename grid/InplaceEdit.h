#pragma once

#include <QLineEdit>

class TDBGrid;

// The in-place editor over the current cell. Keys that move between cells
// (and Left or Right at either end of the text) go to the grid; the first
// key that changes the text puts the dataset into edit mode, and a key the
// dataset refuses changes nothing.
class TInplaceEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TInplaceEdit(TDBGrid& grid);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

private:
    bool GridKey(const QKeyEvent& event) const;
    bool ChangesText(const QKeyEvent& event) const;

    TDBGrid& fGrid;
};

#include "grid/InplaceEdit.h"

#include "grid/DBGrid.h"

#include <QKeyEvent>

TInplaceEdit::TInplaceEdit(TDBGrid& grid) : QLineEdit(grid.viewport()), fGrid(grid) {
    setFrame(false);
    setObjectName(QStringLiteral("InplaceEditor"));
    hide();
}

bool TInplaceEdit::GridKey(const QKeyEvent& e) const {
    const Qt::KeyboardModifiers mods = e.modifiers() & ~Qt::KeypadModifier;
    switch (e.key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_F2:
        return true;
    case Qt::Key_Home:
    case Qt::Key_End:
        return (mods & Qt::ControlModifier) != 0;
    case Qt::Key_Delete:
        return (mods & Qt::ControlModifier) != 0;
    case Qt::Key_Left:
        return !hasSelectedText() && cursorPosition() == 0 && !(mods & Qt::ShiftModifier);
    case Qt::Key_Right:
        return !hasSelectedText() && cursorPosition() == text().size() &&
               !(mods & Qt::ShiftModifier);
    default:
        return false;
    }
}

bool TInplaceEdit::ChangesText(const QKeyEvent& e) const {
    if (e.matches(QKeySequence::Paste) || e.matches(QKeySequence::Cut) ||
        e.matches(QKeySequence::Undo) || e.matches(QKeySequence::Redo))
        return true;
    if (e.key() == Qt::Key_Backspace || e.key() == Qt::Key_Delete) return true;
    const QString t = e.text();
    return !t.isEmpty() && t.at(0).isPrint() &&
           !(e.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
}

void TInplaceEdit::keyPressEvent(QKeyEvent* event) {
    if (GridKey(*event)) {
        fGrid.EditorKeyDown(*event);
        return;
    }
    if (ChangesText(*event) && !fGrid.EditorCanModify()) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TInplaceEdit::inputMethodEvent(QInputMethodEvent* event) {
    if (!event->commitString().isEmpty() && !fGrid.EditorCanModify()) {
        event->accept();
        return;
    }
    QLineEdit::inputMethodEvent(event);
}

void TInplaceEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    fGrid.EditorFocusLost();
}

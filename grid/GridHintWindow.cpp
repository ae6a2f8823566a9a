#include "grid/GridHintWindow.h"

#include <QApplication>
#include <QScreen>

TGridHintWindow::TGridHintWindow(QWidget* owner)
    : QLabel(owner, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowTransparentForInput) {
    setObjectName(QStringLiteral("GridHint"));
    setForegroundRole(QPalette::ToolTipText);
    setBackgroundRole(QPalette::ToolTipBase);
    setAutoFillBackground(true);
    setFrameShape(QFrame::Box);
    setLineWidth(1);
    setMargin(1);
    setTextFormat(Qt::PlainText);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
}

void TGridHintWindow::ShowAt(const QString& text, QPoint screenPos) {
    setPalette(QApplication::palette(this));
    setText(text);
    adjustSize();
    // Kept on the screen the point is on.
    if (const QScreen* s = QGuiApplication::screenAt(screenPos)) {
        const QRect avail = s->availableGeometry();
        if (screenPos.x() + width() > avail.right())
            screenPos.setX(std::max(avail.left(), avail.right() - width()));
        if (screenPos.y() + height() > avail.bottom())
            screenPos.setY(std::max(avail.top(), avail.bottom() - height()));
    }
    move(screenPos);
    show();
    raise();
}

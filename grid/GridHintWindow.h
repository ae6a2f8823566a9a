#pragma once

#include <QLabel>

// The hint of a grid: a small window over everything, placed where the
// grid says (over a cut cell, so the full value shows where it stands).
class TGridHintWindow : public QLabel {
    Q_OBJECT
public:
    explicit TGridHintWindow(QWidget* owner);
    // Shows `text` with its top-left corner at `screenPos`.
    void ShowAt(const QString& text, QPoint screenPos);
};

#pragma once

#include "grid/KXGridTypes.h"

#include <QCursor>
#include <QPoint>
#include <QTimer>

// The rules of the middle-button autoscroll, apart from the grid: which way
// the mouse points from the origin, how far a tick moves, which cursor
// shows it.
struct TAutoScrollDirection {
    int H = 0; // -1 left, 0, +1 right
    int V = 0; // -1 up, 0, +1 down
};

// Beyond 24 pixels sideways or 8 up or down of the origin the grid moves;
// the axes the setting leaves out stay still.
TAutoScrollDirection AutoScrollDirectionOf(QPoint origin, QPoint mouse, TIntelliPan pan);
// Records one tick moves (negative: up); down is faster than up for the
// same distance.
int AutoScrollRecords(int v, int originY, int mouseY);
// The cursor number (401 to 409) for a direction.
int AutoScrollCursorId(TAutoScrollDirection d);

// The running autoscroll: its origin, its 40 ms timer and the cursor that
// was there before.
class TAutoScroll {
public:
    TAutoScroll();
    bool Active() const { return fActive; }
    QPoint Origin() const { return fOrigin; }
    QTimer& Timer() { return fTimer; }
    // Origin as the press gave it, each coordinate an unsigned 16-bit value.
    void Start(QPoint origin, const QCursor& previous);
    // The cursor to go back to.
    QCursor Stop();
    int CursorId() const { return fCursorId; }
    void SetCursorId(int id) { fCursorId = id; }

private:
    bool fActive = false;
    QPoint fOrigin;
    QTimer fTimer;
    QCursor fPrevious;
    int fCursorId = 401;
};

#include "grid/AutoScroll.h"

TAutoScrollDirection AutoScrollDirectionOf(QPoint origin, QPoint mouse, TIntelliPan pan) {
    TAutoScrollDirection d;
    if (mouse.x() < origin.x() - 24) d.H = -1;
    if (mouse.x() > origin.x() + 24) d.H = 1;
    if (mouse.y() < origin.y() - 8) d.V = -1;
    if (mouse.y() > origin.y() + 8) d.V = 1;
    if (pan == ipVert) d.H = 0;
    if (pan == ipHorz) d.V = 0;
    return d;
}

int AutoScrollRecords(int v, int originY, int mouseY) {
    if (v < 0) return -(1 + (originY - mouseY) * 2 / 100);
    if (v > 0) return 1 + (mouseY - originY) * 2 / 75;
    return 0;
}

int AutoScrollCursorId(TAutoScrollDirection d) {
    static const int ids[3][3] = {{407, 405, 406}, {403, 401, 404}, {409, 402, 408}};
    return ids[d.V + 1][d.H + 1];
}

TAutoScroll::TAutoScroll() {
    fTimer.setInterval(40);
}

void TAutoScroll::Start(QPoint origin, const QCursor& previous) {
    fActive = true;
    fOrigin = QPoint(origin.x() & 0xFFFF, origin.y() & 0xFFFF);
    fPrevious = previous;
    fCursorId = 401;
    fTimer.start();
}

QCursor TAutoScroll::Stop() {
    fActive = false;
    fTimer.stop();
    return fPrevious;
}

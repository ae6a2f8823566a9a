#pragma once

// The kinds of the data grid's published properties and events.

// How the sort markers in the titles look.
enum TSortMarkerStyle : int { smsClassic, smsRed, smsGreen, smsBlue, smsWhite };

// The marker a title shows.
enum TSortMarker : int { smNone = 0, smDown = 1, smUp = 2 };

// Which axes the middle-button autoscroll moves along.
enum TIntelliPan : int { ipVert, ipHorz, ipBoth, ipNone };

// The images of the grid by their index: the cell pictures of the export
// model (0 to 3, 6, 7) and the two classic sort markers.
enum TGridImageIndex : int {
    giBlob = 0,
    giMemo = 1,
    giPicture = 2,
    giOle = 3,
    giSortDown = 4,
    giSortUp = 5,
    giTrue = 6,
    giFalse = 7,
};

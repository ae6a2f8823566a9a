#pragma once

// How a control places itself in its parent: alNone keeps the size it is
// given (a control may round it), the edges and alClient follow the
// parent's size, alCustom leaves the geometry to a layout or the owner.
enum TAlign : int { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };

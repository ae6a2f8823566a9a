#pragma once

// The application's hint pauses: how long the mouse rests before a hint
// shows, and before the next one while a hint is up (milliseconds). A grid
// shortens them while the mouse is over it, so its cell hints follow the
// mouse at once.
int HintPause();
int HintShortPause();
void SetHintPauses(int pause, int shortPause);

constexpr int DefaultHintPause = 500;
constexpr int DefaultHintShortPause = 50;

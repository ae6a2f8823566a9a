#pragma once

#include <cstdint>

// The Windows Western code page, which readers of the 8-bit document formats
// assume when a document names none.

// The byte of a character, or -1 when the code page has none for it (the
// C1 controls U+0080..U+009F included).
int UnicodeToWindows1252(char32_t c);
// The character of a byte; the five unassigned bytes map to the C1 controls
// of the same number.
char16_t Windows1252ToUnicode(uint8_t b);

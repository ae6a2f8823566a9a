#pragma once

// A single-byte code page that this program converts with a table of its
// own, for the code pages that tables name and the system's converter
// lacks: 895 Kamenický, 620 Mazovia, 10006 Mac Greek.
class TCodePageTable {
public:
    // The table of a code page, or null when the program has none.
    static const TCodePageTable* Find(int codePage);

    // The character of a byte; U+FFFD when the byte names none.
    char32_t ToUnicode(unsigned char byte) const { return byte < 0x80 ? byte : fHigh[byte - 0x80]; }
    // The byte of a character; false when the code page has none.
    bool FromUnicode(char32_t c, unsigned char& byte) const;

private:
    explicit TCodePageTable(const char16_t* high) : fHigh(high) {}
    const char16_t* fHigh; // bytes 0x80-0xFF
};

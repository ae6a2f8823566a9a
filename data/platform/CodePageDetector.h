#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Chooses the code page of text whose table names none, from a sample of
// its bytes: UTF-8 when every non-ASCII byte belongs to a valid UTF-8
// sequence; otherwise the character-set detector (uchardet) proposes one
// and the DOS and Windows pages of the same script are weighed against it,
// since the detector knows few DOS pages and confuses the Latin ones: the
// page under which the non-ASCII bytes read as letters inside words, not as
// box-drawing, control or punctuation characters between letters, wins.
class TCodePageDetector {
public:
    // The pieces with a byte outside ASCII are held up to this many bytes;
    // the rest is not looked at.
    static constexpr size_t MaxSample = 256 * 1024;

    // One piece of text: a value, a line, a block of a file. `cut`: the
    // piece may start or end inside a character (a block of a file, a
    // value that fills its fixed-width field), which then does not count
    // against UTF-8.
    void Add(std::string_view text, bool cut = false);
    // Whether the sample held a byte outside ASCII.
    bool SawNonAscii() const { return fHigh > 0; }
    // The code page: `ascii` when the sample is all ASCII, 65001 for
    // UTF-8, else the code page that the bytes show.
    int Result(int ascii) const;

    // The code page of a character-set name as the detector gives it
    // ("WINDOWS-1251", "IBM866", "SHIFT_JIS"); 0 for none this program
    // converts.
    static int CodePageOfCharset(std::string_view name);

private:
    struct TContext {
        uint8_t Byte, Before, After;
    };
    // How well the non-ASCII bytes read in a single-byte code page: higher
    // is more plausible text.
    static long Score(int codePage, const std::vector<TContext>& high);

    std::string fSample;
    size_t fHigh = 0;       // bytes 0x80-0xFF in the sample
    size_t fCutPieces = 0;  // pieces that may start or end inside a character
    bool fUtf8 = true;      // no invalid UTF-8 so far
    bool fUtf8Seen = false; // and at least one whole multi-byte sequence
};

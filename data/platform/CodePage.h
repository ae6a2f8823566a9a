#pragma once

#include <string>
#include <string_view>

class TCodePageTable;

// Converts text between a table's code page and the system's (UTF-8).
// Code pages are named by their Windows numbers: the DOS pages 437, 620
// (Mazovia), 737, 775, 850, 852, 855, 857, 858, 860-866, 869, 874, 895
// (Kamenický); the ANSI pages 1250-1258; the Mac pages 10000, 10006, 10007,
// 10029; 932, 936, 949, 950, 54936 (GB18030), 51932 (EUC-JP); KOI8 20866 and
// 21866; ISO 8859 as 28591-28606; 1051 for HP Roman-8; 65001 is UTF-8
// itself. Most go through the system's converter (iconv), the ones it lacks
// through tables of the program's own.
class TCodePage {
public:
    // Raises EDatabaseError when this system cannot convert the code page.
    explicit TCodePage(int codePage);
    ~TCodePage();
    TCodePage(const TCodePage&) = delete;
    TCodePage& operator=(const TCodePage&) = delete;

    int Number() const { return fNumber; }
    bool IsUtf8() const { return fNumber == 65001; }
    // Whether each byte is one character (no lead bytes).
    bool IsSingleByte() const { return SingleByte(fNumber); }
    // Table bytes to UTF-8; a byte with no character becomes U+FFFD.
    void ToUtf8(std::string_view in, std::string& out);
    // UTF-8 to table bytes. Returns false (and writes '?' for each
    // character) when a character has no byte in the code page, so callers
    // can refuse to store a value that would lose characters.
    bool FromUtf8(std::string_view in, std::string& out);

    // Whether the system can convert this code page.
    static bool Supported(int codePage);
    static bool SingleByte(int codePage);
    // The number of a code page a user names: "866", "cp866", "ibm866",
    // "windows-1251", "utf-8", "iso-8859-2", "koi8-r", "mac" (any letter
    // case); 0 when the name is none of those.
    static int NumberOfName(std::string_view name);

private:
    int fNumber;
    const TCodePageTable* fTable = nullptr; // a code page of the program's own
    void* fToUtf8 = nullptr;                // iconv descriptors
    void* fFromUtf8 = nullptr;
};

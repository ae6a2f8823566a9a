#pragma once

#include <string>
#include <string_view>

// Converts text between a table's code page and the system's (UTF-8).
// Code pages are named by their Windows numbers (437, 850, 866, 1250-1258,
// 874, 932, 936, 949, 950, 10000 Mac Roman); 65001 is UTF-8 itself.
class TCodePage {
public:
    // Raises EDatabaseError when this system cannot convert the code page.
    explicit TCodePage(int codePage);
    ~TCodePage();
    TCodePage(const TCodePage&) = delete;
    TCodePage& operator=(const TCodePage&) = delete;

    int Number() const { return fNumber; }
    bool IsUtf8() const { return fNumber == 65001; }
    // Table bytes to UTF-8; a byte with no character becomes U+FFFD.
    void ToUtf8(std::string_view in, std::string& out);
    // UTF-8 to table bytes. Returns false (and writes '?' for each
    // character) when a character has no byte in the code page, so callers
    // can refuse to store a value that would lose characters.
    bool FromUtf8(std::string_view in, std::string& out);

    // Whether the system can convert this code page.
    static bool Supported(int codePage);

private:
    int fNumber;
    void* fToUtf8 = nullptr;   // iconv descriptors
    void* fFromUtf8 = nullptr;
};

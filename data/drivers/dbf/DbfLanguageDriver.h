#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class TDbfHeader;

// The code page of a dBase table: the language-driver byte of its header
// (offset 29), the driver name of a level 7 header, or a ".cpg" file beside
// the table, which names the code page in words ("1252", "UTF-8",
// "ANSI 1251", "CP866") and wins when it is there.
class TDbfLanguageDriver {
public:
    // What a table without any code page mark is read as when its text is
    // ASCII: the ANSI code page of the systems that wrote most of them.
    static constexpr int DefaultCodePage = 1252;

    // The code page of a language-driver byte; 0 when the byte names none
    // (0x00) and -1 when it is not a byte this program knows.
    static int CodePageOf(uint8_t id);
    // The byte that names a code page when a table is written; 0 when no
    // byte does (UTF-8, say), so that only a ".cpg" file can say it.
    static uint8_t IdOf(int codePage);
    // A level 7 header's driver name ("DBWINUS0", "DB866RU0"); 0 when it
    // names no code page this program knows.
    static int CodePageOfName(std::string_view name);
    // The text of a ".cpg" file; 0 when it names no code page this program
    // knows.
    static int ParseCpgText(std::string_view text);
    // The code page of a table without any mark, as its text shows it (see
    // TCodePageDetector): the field names and the character fields of the
    // first records and of some spread over the table, so that opening
    // costs the same at any size. `data` holds the file's `size` bytes,
    // which the header was checked against. DefaultCodePage for ASCII.
    static int Detect(const TDbfHeader& header, const uint8_t* data, uint64_t size);
    // The ".cpg" file beside a table (any letter case), or empty.
    static std::string FindCpgFile(const std::string& tablePath);
};

#pragma once

#include "data/base/Value.h"
#include "data/drivers/text/TextSchema.h"

#include <string>
#include <string_view>
#include <vector>

// How a delimited text table is written.
struct TDelimitedFormat {
    char Separator = ',';
    char Quote = '"'; // 0: values are never quoted
    bool QuoteAll = false;
    std::string LineEnd = "\r\n";
    bool Bom = false;         // a UTF-8 byte-order mark first
    int CodePage = 65001;     // of the file's text
    bool FinalLineEnd = true; // a line end after the last record
};

// Writes delimited text tables: the project's generator of text tables for
// tests and samples, and the quoting that the text driver uses when it
// writes records back. A value is quoted when it holds the separator, the
// quote, a line break, or starts or ends with a blank (or always, with
// QuoteAll); quotes inside are doubled.
class TDelimitedTableWriter {
public:
    // Appends one value (already in the file's code page).
    static void AppendValue(std::string& out, std::string_view text,
                            const TDelimitedFormat& format);
    // One value of a fixed-width line: its place and width in characters
    // (bytes, unless the text is UTF-8), left-aligned or, for numbers,
    // right-aligned.
    struct TFixedCell {
        int Offset = 0;
        int Width = 0;
        bool Right = false;
        std::string Text;
    };
    // The line of the cells, padded with blanks. Returns the index of a cell
    // whose text is wider than its width, or -1 when all fit.
    static int FixedLine(std::vector<TFixedCell> cells, bool utf8, std::string& out);

    // A whole table: a line of names (when `names` is not empty), then one
    // line per row. Values are written as ValueToText gives them and
    // converted to the format's code page; raises EDatabaseError when a
    // character has no place in it. Written through TAtomicFile.
    static void Write(const std::string& path, const std::vector<std::string>& names,
                      const std::vector<std::vector<TValue>>& rows, const TDelimitedFormat& format);
    // A table described by a schema (FIXED or VARYING), with its .sch
    // beside it (the path's extension changed to .sch).
    static void WriteWithSchema(const std::string& path, const TTextSchema& schema,
                                const std::vector<std::vector<TValue>>& rows,
                                const std::string& lineEnd = "\r\n");
};

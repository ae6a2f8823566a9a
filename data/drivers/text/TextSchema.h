#pragma once

#include "data/base/FieldType.h"

#include <string>
#include <string_view>
#include <vector>

// The schema file (.sch) beside a text table (.txt) of the same name:
//
//   [ORDERS]
//   FILETYPE = VARYING          (or FIXED)
//   CHARSET = ANSI              (ANSI, OEM, or a code page number)
//   DELIMITER = "               (the quote around text values; empty for none)
//   SEPARATOR = ,               (a character, or TAB)
//   FIELD1 = Name,CHAR,20,00,00 (name, type, width, decimals, offset)
//
// Types: CHAR, LONGINT, SHORTINT, FLOAT (NUMBER), MONEY (CURRENCY), BCD,
// DATE, TIME, TIMESTAMP, BOOL. Offsets count from 0 and matter for FIXED
// files, whose fields may not overlap. Lines starting with ';' are
// comments.
struct TTextSchemaField {
    std::string Name;
    TFieldType DataType = ftString;
    int Width = 0;
    int Decimals = 0;
    int Offset = 0;
};

struct TTextSchema {
    enum TCharSet { csAnsi, csOem, csNumber };

    std::string TableName;
    bool Fixed = false;
    char Delimiter = '"'; // 0 for none
    char Separator = ',';
    TCharSet CharSet = csAnsi;
    int CodePage = 0;          // when CharSet is csNumber
    bool CharSetGiven = false; // the file has a CHARSET line
    std::vector<TTextSchemaField> Fields;

    // Raises EDatabaseError naming the file and the line of the first fault.
    static TTextSchema Parse(std::string_view text, const std::string& path);
    // The schema as a .sch file's text (CR LF line ends).
    std::string Format() const;
    // The type's name in a schema file.
    static const char* TypeName(TFieldType type);
};

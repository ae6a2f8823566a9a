#pragma once

#include <string>
#include <vector>

// The parameters of one start, as the program reads them: options may stand
// anywhere, "-" and "/" both start an option, letter case does not count.
struct TCommandLine {
    bool Export = false;     // "-e", "-export"
    bool Ado = false;        // "-ado"
    bool CloseAfter = false; // "-closeafter"
    std::string FormatName;  // first non-empty "-exporttype=", upper case
    std::string Separator;   // last "-separator=" with a value: UTF-8, a code made a character
    bool HasSeparator = false;
    // Last "-codepage=" with a value: the code page the table's text is
    // read in whatever the table names; 0 leaves it to the table ("auto").
    int CodePage = 0;
    std::string Error;                   // why a parameter cannot be taken; empty when all can
    std::vector<std::string> Positional; // the parameters that are not options
    std::string TableName;
    std::string Destination;

    static constexpr int MaxParameters = 20;
};

// Reads the parameters (without the program's own name). A parameter that
// starts with "/" is an option only when it names one; otherwise it is a
// path, so absolute paths work.
TCommandLine ParseCommandLine(const std::vector<std::string>& params);

// The writer for a format name: "HTML"/"HTM" 1, "XML" 2, "RTF" 3, "XLS" 4,
// "XLSX" 5, anything else 0 (Text).
int FormatTypeOfName(const std::string& upperName);

// The format name taken from a destination's extension: upper case, without
// its dot when it is longer than the dot alone.
std::string FormatNameOfDestination(const std::string& destination);

// The error texts of a start that cannot run.
extern const char* const CommandLineErrors;
std::string FileDoesNotExistText(const std::string& table);
std::string NoDestinationText();

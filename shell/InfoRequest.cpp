#include "shell/InfoRequest.h"

#include "shell/ProgramFiles.h"

TInfoRequest InfoRequestOf(const std::vector<std::string>& params) {
    if (params.size() != 1) return irNone;
    if (params[0] == "--help") return irHelp;
    if (params[0] == "--version") return irVersion;
    return irNone;
}

std::string ProgramVersion() {
    return TABULON_VERSION;
}

std::string VersionText() {
    return "tabulx (Tabulon) " TABULON_VERSION "\n";
}

std::string HelpText(const TProgramFiles& files, const std::string& settingsFile) {
    std::string text =
        "Usage: tabulx [-codepage=PAGE] TABLE-FILE\n"
        "       tabulx -ado [-codepage=PAGE] TABLE-FILE\n"
        "       tabulx -export TABLE-FILE DESTINATION-FILE [-exporttype=TYPE]\n"
        "              [-separator=TEXT|#CODE] [-codepage=PAGE] [-ado] [-closeafter]\n"
        "       tabulx --help | --version\n"
        "Opens a dBase (.dbf), Paradox (.db) or delimited text table (.txt, .csv, .asc,\n"
        ".tab) and shows it; with -export, writes it to DESTINATION-FILE as delimited\n"
        "text, HTML, XML, RTF, an XLS worksheet or an XLSX workbook.\n"
        "\n"
        "Options may stand anywhere, start with - or /, and ignore letter case.\n"
        "  -export, -e        export the table to DESTINATION-FILE\n"
        "  -exporttype=TYPE   the document's format: html (or htm), xml, rtf, xls,\n"
        "                     xlsx; any other type is text; without this option\n"
        "                     the destination's extension names it\n"
        "  -separator=TEXT    the field separator of a text export: the first\n"
        "                     character of TEXT (it arrives in lower case)\n"
        "  -separator=#CODE   the character with that code: #59 is ';', #9 a tab;\n"
        "                     codes below 256 are windows-1252's, others Unicode's\n"
        "  -codepage=PAGE     read the table's text in that code page, whatever the\n"
        "                     table names: a number (866) or a name (cp850,\n"
        "                     windows-1251, utf-8); auto, the default, lets the\n"
        "                     table decide\n"
        "  -ado               open the table through the connection-string engine\n"
        "  -closeafter        after a successful export, end without its message\n"
        "  --help             show this help and end\n"
        "  --version          show the version and end\n"
        "\n"
        "Without -export or -ado, all parameters joined by blanks name the table, so\n"
        "a path with blanks needs no quotes. Name a table whose name starts with -\n"
        "or / by a path: ./-old.dbf. The separator and the format are kept in the\n"
        "settings for the next start.\n"
        "\n"
        "Exit status: 0 when it worked, 1 after an error, 2 without parameters.\n"
        "\n";
    text += "Settings:      " + settingsFile + "\n";
    if (!files.SamplesDir().empty()) text += "Sample tables: " + files.SamplesDir().string() + "\n";
    if (!files.HelpPage().empty()) text += "Help page:     " + files.HelpPage().string() + "\n";
    text += "More in the manual page: man tabulx\n";
    return text;
}

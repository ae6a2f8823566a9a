#include "shell/CommandLine.h"

#include "data/base/TextUtils.h"
#include "data/platform/CodePage.h"
#include "shell/SeparatorOption.h"

#include <filesystem>

const char* const CommandLineErrors = "Errors in command line.";

namespace {
// Blanks and control characters at either end go.
std::string TrimControls(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ')
        ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ')
        --e;
    return s.substr(b, e - b);
}

bool StartsWith(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}

// Whether a normalised option is one the program knows.
bool KnownOption(const std::string& o) {
    return o == "-e" || o == "-export" || o == "-ado" || o == "-closeafter" ||
           StartsWith(o, "-exporttype=") || StartsWith(o, "-separator=") ||
           StartsWith(o, "-codepage=");
}

// The code page of a "-codepage=" value; false with the error when the value
// names none that this system converts.
bool CodePageOfOption(const std::string& value, int& codePage, std::string& error) {
    if (value == "auto") {
        codePage = 0;
        return true;
    }
    const int number = TCodePage::NumberOfName(value);
    if (number == 0 || !TCodePage::Supported(number)) {
        error = "Unknown code page: " + value +
                " (give a number such as 866 or 1251, a name such as cp850 or utf-8, or auto).";
        return false;
    }
    codePage = number;
    return true;
}
} // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& params) {
    TCommandLine cl;
    size_t count =
        params.size() < TCommandLine::MaxParameters ? params.size() : TCommandLine::MaxParameters;
    for (size_t i = 0; i < count; ++i) {
        const std::string& p = params[i];
        if (p.empty() || (p[0] != '-' && p[0] != '/')) {
            cl.Positional.push_back(p);
            continue;
        }
        std::string o = "-" + LowerCase(p.substr(1));
        if (p[0] == '/' && !KnownOption(o)) {
            cl.Positional.push_back(p); // an absolute path, not an option
            continue;
        }
        if (o == "-e" || o == "-export") {
            cl.Export = true;
        } else if (o == "-ado") {
            cl.Ado = true;
        } else if (o == "-closeafter") {
            cl.CloseAfter = true;
        } else if (StartsWith(o, "-exporttype=")) {
            if (cl.FormatName.empty()) cl.FormatName = UpperCase(o.substr(12));
        } else if (StartsWith(o, "-separator=") && o.size() > 11) {
            std::string error;
            if (SeparatorOfOption(TrimControls(o.substr(11)), cl.Separator, error))
                cl.HasSeparator = true;
            else if (cl.Error.empty())
                cl.Error = error;
        } else if (StartsWith(o, "-codepage=") && o.size() > 10) {
            std::string error;
            if (!CodePageOfOption(TrimControls(o.substr(10)), cl.CodePage, error) &&
                cl.Error.empty())
                cl.Error = error;
        }
    }
    if (cl.Export) {
        if (!cl.Positional.empty()) cl.TableName = cl.Positional[0];
        if (cl.Positional.size() > 1) cl.Destination = cl.Positional[1];
    } else if (cl.Ado) {
        if (!cl.Positional.empty()) cl.TableName = cl.Positional[0];
    } else {
        // The code page option is no part of a path given without quotes.
        bool first = true;
        for (size_t i = 0; i < count; ++i) {
            const std::string& p = params[i];
            if (p.size() > 1 && (p[0] == '-' || p[0] == '/') &&
                StartsWith("-" + LowerCase(p.substr(1)), "-codepage="))
                continue;
            if (!first) cl.TableName += ' ';
            first = false;
            cl.TableName += p;
        }
    }
    return cl;
}

int FormatTypeOfName(const std::string& n) {
    if (n == "HTML" || n == "HTM") return 1;
    if (n == "XML") return 2;
    if (n == "RTF") return 3;
    if (n == "XLS") return 4;
    if (n == "XLSX") return 5;
    return 0;
}

std::string FormatNameOfDestination(const std::string& destination) {
    std::string ext = std::filesystem::path(destination).extension().string();
    if (ext.size() > 1 && ext[0] == '.') ext.erase(0, 1);
    return UpperCase(ext);
}

std::string FileDoesNotExistText(const std::string& table) {
    return std::string(CommandLineErrors) + "\r\nFile does not exist:\r\r" + table;
}

std::string NoDestinationText() {
    return std::string(CommandLineErrors) + "\r\nDestination file name does not specified.";
}

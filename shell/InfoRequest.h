#pragma once

#include <string>
#include <vector>

class TProgramFiles;

// "--help" and "--version", which every program answers. They count only as
// the one parameter of a start, spelled so: the program's own options start
// with a single "-", and any other start reads its parameters as before (a
// table "--help.dbf" opens; a name starting with "-" is given as ./-name).
enum TInfoRequest { irNone, irHelp, irVersion };
TInfoRequest InfoRequestOf(const std::vector<std::string>& params);

// "tabulx (Tabulon) <version>".
std::string VersionText();
// The version alone ("2.3"); the built-in engines carry it too.
std::string ProgramVersion();

// The forms of the command line, its options, the exit statuses and where
// the settings, the sample tables and the help page are.
std::string HelpText(const TProgramFiles& files, const std::string& settingsFile);

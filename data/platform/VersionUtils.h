#pragma once

#include <string>

// Version texts for the about box, as this platform has them. Files carry
// no version resource here; a shared library carries its version in its
// real file name (libodbc.so.2 is a link to libodbc.so.2.0.0), and that is
// what GetFileVersionString reads. Every other file, and a file that does
// not exist, gives an empty text.
std::string GetFileVersionString(const std::string& fileName);

// The data-access components' version from the registry. There is neither
// here (the connection-string engine is part of the program), so it is
// empty and the about box shows "?".
std::string GetADOVersion();

// Appends the platform's directory separator ("/" here, "\" on Windows)
// unless the text is empty or already ends with it.
std::string IncludeTrailingSlash(const std::string& text);

#pragma once

// File-system questions of the shell's helpers.

#include <string>

// Whether `path` names an existing directory (links followed).
bool DirectoryExists(const std::string& path);

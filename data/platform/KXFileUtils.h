#pragma once

#include <string>

// Whether `path` names an existing directory (links followed).
bool DirectoryExists(const std::string& path);

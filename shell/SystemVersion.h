#pragma once

#include <string>

// The operating system's short name for the about box: on Windows the
// release ("XP", "2000", ...), elsewhere the system's own name and version
// ("Debian GNU/Linux 12 (bookworm)").
std::string GetWindowsVersionName();

// The NT family of Windows; never on other systems.
bool IsWindowsNT();

// The Windows release name of a platform id (0 Win32s, 1 the 9x family, 2
// NT) and version; "?" for any other.
std::string WindowsReleaseName(int platform, int major, int minor);

#pragma once

#include <string>

// The separator a "-separator=" value names. A value of "#" and a number is
// a character code: decimal, or hexadecimal after "$" or "0x". Codes below
// 256 are the Windows Western code page's characters, which a Windows user
// of #code meant (#167 is the section sign, #128 the euro sign; the five
// codes that page leaves free, #129 #141 #143 #144 #157, give the control
// characters of the same number, as Windows reads them); higher codes are
// Unicode's. "#" followed by anything but a number stays the text it is, "#"
// included. Any other value is taken as it is and must be UTF-8 text.
//
// Gives false, with `error` saying why, when the value names no character:
// a surrogate, a code past U+10FFFF, a negative one, a number with other
// characters after it, or text that is not UTF-8.
bool SeparatorOfOption(const std::string& value, std::string& separator, std::string& error);

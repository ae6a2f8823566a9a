#pragma once

#include <string>
#include <string_view>

// A text (a field name) as an XML name that every XML parser accepts. Of
// ASCII only letters, digits, "_", "-" and "." stay; beyond it only the
// letters, digits, combining marks and extenders that XML 1.0 allowed in
// names up to its fourth edition: later editions allow far more, and
// parsers that keep the older rules (expat, and so Python's) refuse a
// document with one such name. Every other character becomes "_", one per
// character (a byte that is no UTF-8 character counts as one). A name that
// would start with a digit, "-", ".", a mark, or "xml" in any letter case (a
// prefix XML keeps for itself: "xmlns" would turn a value into a namespace)
// gets "_" in front; an empty text gives "_".
std::string SafeXMLName(std::string_view text);

#pragma once

#include <string>

// The texts that title clicks sort by. A sort text (the connection-string
// kind's Sort) is a list of field names separated by "," without blanks,
// each optionally followed by " DESC"; an index field list (the
// index-ordered kind's IndexFieldNames) is a list of names separated by ";".

// Whether `fieldName` is an entry of `sortText`, and whether it is
// descending. `pos` (from 1) is where the entry's name starts; it is left
// as it was when the whole text is the entry.
bool IsSortedBy(const std::string& sortText, const std::string& fieldName, int& pos, bool& desc);

// The sort text after a click on the title of `fieldName`: a plain click
// sorts by the field alone, ascending, or descending when the text is that
// field ascending already; a click with Shift (`addToSort`) adds the field,
// or turns its direction when it is in the text.
std::string NextSortText(const std::string& sortText, const std::string& fieldName, bool addToSort);

// The index field list after a click on `fieldName`, from the list the
// table is ordered by now; false when the click changes nothing (the field
// is the list, or with Shift it is its last key already).
bool NextIndexFields(const std::string& current, const std::string& fieldName, bool addToSort,
                     std::string& next);

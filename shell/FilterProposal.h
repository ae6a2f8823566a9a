#pragma once

#include <string>
#include <string_view>

class TDataSet;
class TField;

// The filter that entering the filter edit proposes from the current cell
// of `field`: what FilterForCurrentCell gives. Nothing (an empty text) when
// the edit holds a text already, the table is closed, empty or filtered, or
// there is no field or a BLOB one (memos and pictures included).
std::string ProposeFilter(const TDataSet& dataSet, const TField* field,
                          std::string_view filterText);

// "name = value" for the current record's value of `field`, written so that
// the filters of both engines accept it and find the current record:
// - the name bare when it is a plain word, in single quotes when it holds a
//   blank, otherwise in brackets ([Order#], [Cust-No], [1st], [Not]); each
//   form holds the name as it is where one can, so that the name is seen in
//   the expression;
// - null as null; a text, date or time in single quotes, a quote inside
//   doubled ('Côte d''Or'); a number (any size) or a boolean as it is.
// Dates, times and numbers are written as the field shows them, or in the
// form every locale reads (2024-02-29, 1.5) where that text would not read
// back. Empty when no expression finds the value: a kind that filters cannot
// compare (bytes), or a number that is not finite.
std::string FilterForCurrentCell(const TDataSet& dataSet, const TField& field);

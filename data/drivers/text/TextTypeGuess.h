#pragma once

#include "data/base/FieldType.h"
#include "data/base/Value.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The type of a column of a delimited text table, guessed from every one
// of its values so that no guess loses data: a column is a number only when
// each value is written the way the number would be written back (no
// leading zeros or plus signs, no exponents, no more digits than a double
// keeps), a date only when each value is an ISO date (yyyy-mm-dd, with a
// time after a blank or "T" for a timestamp), a boolean only for the words
// true and false. Anything else, and any column with one such value, is
// text. Empty values are null and say nothing.
class TTextTypeGuess {
public:
    // A non-empty value as it stands in the file (unquoted).
    void Add(std::string_view value) {
        if (fMask) {
            unsigned m = Classify(value);
            fMask &= m;
            if (fMask && !(fBoolStyled && fStampStyled)) NoteStyle(value, m);
        }
        fSeen = true;
    }
    // A value that can only be text (it holds an escaped quote).
    void AddText() {
        fMask = 0;
        fSeen = true;
    }
    // The longest value, in characters and in bytes.
    void Measure(size_t chars, size_t bytes) {
        if (chars > fMaxChars) fMaxChars = chars;
        if (bytes > fMaxBytes) fMaxBytes = bytes;
    }
    bool Undecided() const { return fMask != 0; }
    TFieldType FieldType() const;
    // Whether every value added can be read as a value of the type without
    // loss (a column guessed as that type still holds).
    bool Allows(TFieldType type) const;
    size_t MaxChars() const { return fMaxChars; }
    size_t MaxBytes() const { return fMaxBytes; }
    // How booleans and timestamps of this column are written (from its first
    // value of the kind), for values written back.
    const std::string& TrueWord() const { return fTrue; }
    const std::string& FalseWord() const { return fFalse; }
    char DateTimeSeparator() const { return fDateTimeSeparator; }
    bool DateTimeSeconds() const { return fSeconds; }

    // The value of a text of a column of the given type; false when the
    // text is not such a value (it is then shown as text).
    static bool Parse(std::string_view text, TFieldType type, TValue& out);
    // A value written the way this column writes it; in a fixed-width
    // field too narrow for the word, a boolean is its first letter.
    void Format(const TValue& v, TFieldType type, std::string& out, int width = 0) const;

    enum : unsigned {
        kInt32 = 1,
        kInt64 = 2,
        kFloat = 4,
        kDate = 8,
        kDateTime = 16,
        kTime = 32,
        kBoolean = 64,
        kAll = 127,
    };
    static unsigned Classify(std::string_view value);

private:
    void NoteStyle(std::string_view value, unsigned kinds);
    unsigned fMask = kAll;
    bool fSeen = false;
    size_t fMaxChars = 0, fMaxBytes = 0;
    std::string fTrue = "true", fFalse = "false";
    bool fBoolStyled = false, fStampStyled = false;
    char fDateTimeSeparator = ' ';
    bool fSeconds = true;
};

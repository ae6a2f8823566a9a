#pragma once

#include "data/base/AheadCell.h"
#include "data/base/FieldType.h"
#include "data/base/Value.h"

#include <cstdint>
#include <functional>
#include <string>

class TDataSet;
class TField;

enum TAlignment : int { taLeftJustify = 0, taRightJustify = 1, taCenter = 2 };

// Supplies a field's text instead of its own formatting; DisplayText is true
// when the text is for showing, false when it is for editing.
using TFieldGetTextEvent = std::function<void(TField& sender, std::string& text, bool displayText)>;

// One column of the current record. A field holds no data of its own: every
// read asks its dataset for the value of the current record, decoded at that
// moment, so moving the cursor costs nothing until a value is read.
class TField {
public:
    TField(TDataSet& dataSet, int fieldNo, std::string fieldName, TFieldType dataType, int size);
    virtual ~TField() = default;
    TField(const TField&) = delete;
    TField& operator=(const TField&) = delete;

    TDataSet& DataSet() const { return fDataSet; }
    int FieldNo() const { return fFieldNo; } // 0-based position in the record
    const std::string& FieldName() const { return fFieldName; }
    TFieldType DataType() const { return fDataType; }
    int Size() const { return fSize; }

    // Class tests; each kind answers for its own family.
    virtual bool IsNumeric() const { return false; }
    virtual bool IsBlob() const { return false; }
    virtual bool IsMemo() const { return false; }
    virtual bool IsGraphic() const { return false; }
    virtual bool IsBoolean() const { return false; }

    bool Required() const { return fRequired; }
    void SetRequired(bool v) { fRequired = v; }
    bool ReadOnly() const { return fReadOnly; }
    void SetReadOnly(bool v) { fReadOnly = v; }
    bool Visible() const { return fVisible; }
    void SetVisible(bool v) { fVisible = v; }
    // The label shown as a column heading; the name when none is set.
    const std::string& DisplayLabel() const {
        return fDisplayLabel.empty() ? fFieldName : fDisplayLabel;
    }
    void SetDisplayLabel(std::string v) { fDisplayLabel = std::move(v); }
    // Characters a column needs to show a value.
    int DisplayWidth() const { return fDisplayWidth > 0 ? fDisplayWidth : DefaultDisplayWidth(); }
    void SetDisplayWidth(int v) { fDisplayWidth = v; }
    TAlignment Alignment() const { return fAlignment; }
    void SetAlignment(TAlignment v) { fAlignment = v; }
    const std::string& DisplayFormat() const { return fDisplayFormat; }
    void SetDisplayFormat(std::string v);
    const std::string& EditMask() const { return fEditMask; }
    void SetEditMask(std::string v) { fEditMask = std::move(v); }

    TFieldGetTextEvent OnGetText;

    // Reading the current record's value.
    bool IsNull() const;
    void GetData(TValue& out) const; // the raw value
    std::string AsString() const;
    void GetAsString(std::string& out) const;
    std::string DisplayText() const;
    void GetDisplayText(std::string& out) const;
    std::string EditText() const;
    // Appends the display text of a value of this field, without OnGetText.
    // Safe on another thread than the field's reads, for readers ahead.
    void AppendDisplayText(const TValue& value, std::string& out) const;
    // The same from the plain digits that a table file holds for a number
    // (TTableDriver::GetDigitsConcurrently), without reading the value;
    // false, with nothing appended, where the value must be read instead.
    virtual bool AppendDisplayOfDigits(std::string_view digits, std::string& out) const {
        (void)digits;
        (void)out;
        return false;
    }
    // For a reader ahead: how a storage may show this field's values in its
    // place, giving the texts that AppendDisplayText and AppendDisplayOfDigits
    // give (see TAheadCell); Show stays shNone where only the field can.
    virtual void DescribeAhead(TAheadCell& cell) const {
        cell.Show = fTextAsIs ? TAheadCell::shText : TAheadCell::shNone;
    }
    bool AsBoolean() const;
    int32_t AsInteger() const;
    int64_t AsLargeInt() const;
    double AsFloat() const;
    double AsDateTime() const;

    // Writing; the dataset must be in edit or insert state.
    void SetData(const TValue& v);
    void SetAsString(std::string_view v);
    void SetAsBoolean(bool v);
    void SetAsInteger(int64_t v);
    void SetAsFloat(double v);
    void SetAsDateTime(double v);
    void Clear();

protected:
    // The text of a non-null value: DisplayText when display is true, else the
    // raw text that AsString gives.
    virtual void FormatValue(const TValue& v, std::string& out, bool display) const;
    // Converts a text to a value of this kind; raises EConvertError.
    virtual void ParseText(std::string_view text, TValue& out) const;
    virtual int DefaultDisplayWidth() const;
    // The value converted to this kind, for the As... readers.
    [[noreturn]] void RaiseConvert(const char* target) const;
    TValue& Scratch() const { return fScratch; }
    // Called before a setting that changes display texts: a reader ahead
    // formatting with the old one stops first.
    void DisplayChanging() const;
    // A text value is its own display text: handed over without a copy.
    bool fTextAsIs = false;
    // The display text says only whether a value is there (BLOBs).
    bool fShowsPresence = false;

private:
    TDataSet& fDataSet;
    int fFieldNo;
    std::string fFieldName;
    TFieldType fDataType;
    int fSize;
    bool fRequired = false;
    bool fReadOnly = false;
    bool fVisible = true;
    int fDisplayWidth = 0;
    TAlignment fAlignment = taLeftJustify;
    std::string fDisplayLabel;
    std::string fDisplayFormat;
    std::string fEditMask;
    mutable TValue fScratch;
};

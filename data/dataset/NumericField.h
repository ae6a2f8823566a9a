#pragma once

#include "data/dataset/Field.h"

// The numeric family: shown right-aligned, formatted with the locale.
class TNumericField : public TField {
public:
    TNumericField(TDataSet& dataSet, int fieldNo, std::string fieldName, TFieldType dataType,
                  int size);
    bool IsNumeric() const override { return true; }
};

// Whole numbers: small, word, integer, auto-increment and large integers.
class TIntegerField : public TNumericField {
public:
    TIntegerField(TDataSet& dataSet, int fieldNo, std::string fieldName, TFieldType dataType,
                  int size);
    int64_t MinValue() const { return fMin; }
    int64_t MaxValue() const { return fMax; }
    bool AppendDisplayOfDigits(std::string_view digits, std::string& out) const override;
    void DescribeAhead(TAheadCell& cell) const override;

protected:
    void FormatValue(const TValue& v, std::string& out, bool display) const override;
    void ParseText(std::string_view text, TValue& out) const override;
    int DefaultDisplayWidth() const override;

private:
    int64_t fMin;
    int64_t fMax;
};

// Floating-point, currency and BCD values.
class TFloatField : public TNumericField {
public:
    TFloatField(TDataSet& dataSet, int fieldNo, std::string fieldName, TFieldType dataType,
                int size);
    // Shown as money in the locale's currency format.
    bool Currency() const { return fCurrency; }
    void SetCurrency(bool v) {
        DisplayChanging();
        fCurrency = v;
    }
    // Significant digits shown.
    int Precision() const { return fPrecision; }
    bool AppendDisplayOfDigits(std::string_view digits, std::string& out) const override;
    void DescribeAhead(TAheadCell& cell) const override;
    void SetPrecision(int v) {
        DisplayChanging();
        fPrecision = v < 1 ? 15 : (v > 17 ? 17 : v);
    }

protected:
    void FormatValue(const TValue& v, std::string& out, bool display) const override;
    void ParseText(std::string_view text, TValue& out) const override;

private:
    bool fCurrency;
    int fPrecision = 15;
};

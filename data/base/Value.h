#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// One field value as the drivers hand it over. Dates and times are held as
// days since 1899-12-30 with the time as the fraction, which keeps date
// arithmetic and ordering plain double arithmetic. Text and binary data live
// in Text, whose capacity is reused when the same TValue is read into again,
// so a scan does not allocate per record.
enum class TValueKind : uint8_t { Null, Integer, Float, Boolean, DateTime, Text, Bytes };

struct TValue {
    TValueKind Kind = TValueKind::Null;
    bool Bool = false;
    int64_t Int = 0;
    double Float = 0.0;
    std::string Text;

    TValue() = default;
    static TValue Null() { return {}; }
    static TValue OfInt(int64_t v) {
        TValue r;
        r.SetInt(v);
        return r;
    }
    static TValue OfFloat(double v) {
        TValue r;
        r.SetFloat(v);
        return r;
    }
    static TValue OfBool(bool v) {
        TValue r;
        r.SetBool(v);
        return r;
    }
    static TValue OfDateTime(double v) {
        TValue r;
        r.SetDateTime(v);
        return r;
    }
    static TValue OfText(std::string_view v) {
        TValue r;
        r.SetText(v);
        return r;
    }
    static TValue OfBytes(std::string_view v) {
        TValue r;
        r.SetBytes(v);
        return r;
    }

    bool IsNull() const { return Kind == TValueKind::Null; }
    void SetNull() {
        Kind = TValueKind::Null;
        Text.clear();
    }
    void SetInt(int64_t v) {
        Kind = TValueKind::Integer;
        Int = v;
    }
    void SetFloat(double v) {
        Kind = TValueKind::Float;
        Float = v;
    }
    void SetBool(bool v) {
        Kind = TValueKind::Boolean;
        Bool = v;
    }
    void SetDateTime(double v) {
        Kind = TValueKind::DateTime;
        Float = v;
    }
    void SetText(std::string_view v) {
        Kind = TValueKind::Text;
        Text.assign(v.data(), v.size());
    }
    void SetBytes(std::string_view v) {
        Kind = TValueKind::Bytes;
        Text.assign(v.data(), v.size());
    }

    bool operator==(const TValue& o) const;
};

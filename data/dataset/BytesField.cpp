#include "data/dataset/BytesField.h"

#include "data/base/DatabaseError.h"

void TBytesField::FormatValue(const TValue& v, std::string& out, bool display) const {
    if (v.Kind != TValueKind::Bytes && v.Kind != TValueKind::Text)
        return TField::FormatValue(v, out, display);
    static const char Hex[] = "0123456789ABCDEF";
    for (unsigned char c : v.Text) {
        out += Hex[c >> 4];
        out += Hex[c & 15];
    }
}

void TBytesField::ParseText(std::string_view text, TValue& out) const {
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    if (text.size() % 2 != 0)
        throw EConvertError("'" + std::string(text) + "' is not a valid hexadecimal byte text");
    std::string bytes;
    for (size_t i = 0; i < text.size(); i += 2) {
        int hi = digit(text[i]), lo = digit(text[i + 1]);
        if (hi < 0 || lo < 0)
            throw EConvertError("'" + std::string(text) + "' is not a valid hexadecimal byte text");
        bytes += static_cast<char>(hi * 16 + lo);
    }
    out.SetBytes(bytes);
}

// Hexadecimal digits both ways, for every place that writes or reads them:
// report escapes and ids on the server, handle arguments on the host.
#pragma once

namespace protocol {

inline constexpr char kHexDigits[] = "0123456789ABCDEF";

// The upper-case digit of the value's lowest four bits.
inline char UpperHexDigit(unsigned value) {
    return kHexDigits[value & 0xF];
}

inline char LowerHexDigit(unsigned value) {
    char digit = UpperHexDigit(value);
    return digit >= 'A' ? static_cast<char>(digit - 'A' + 'a') : digit;
}

// The value of one hexadecimal digit ("0"-"9", "a"-"f", "A"-"F"), or -1.
inline int HexDigitValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

}  // namespace protocol

#include "foundation/Utf16Text.h"

namespace {

constexpr wchar_t kReplacementCharacter = 0xFFFD;

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

WideString FromUtf16UpTo(const char16_t* units, int32_t limit) {
    int32_t length = 0;
    while (length < limit && units[length] != 0) ++length;
    WideString text;
    wchar_t* out = text.GetBuffer(length);
    if (!out) return WideString();
    for (int32_t at = 0; at < length; ++at) {
        char16_t unit = units[at];
        if (IsHighSurrogate(unit) && at + 1 < length && IsLowSurrogate(units[at + 1])) {
            out[at] = static_cast<wchar_t>(unit);
            out[at + 1] = static_cast<wchar_t>(units[at + 1]);
            ++at;
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            out[at] = kReplacementCharacter;
        } else {
            out[at] = static_cast<wchar_t>(unit);
        }
    }
    out[length] = 0;
    return text;
}

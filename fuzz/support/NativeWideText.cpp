// The system's UTF-8 conversions, done by hand off Windows: ill-formed UTF-8
// becomes U+FFFD as MultiByteToWideChar makes it, and the wide text is
// UTF-16 (a unit above U+FFFF, which Windows never gives, is encoded whole).
#include <cstdint>

#include "host/WideText.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The code point at `at`, advancing past it; one U+FFFD per ill-formed byte.
char32_t DecodeAt(const std::string& text, size_t& at) {
    auto byte = [&](size_t index) { return static_cast<unsigned char>(text[index]); };
    unsigned char lead = byte(at++);
    if (lead < 0x80) return lead;
    int continuations = lead >= 0xF0 && lead <= 0xF4 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 ? 1 : -1;
    if (continuations < 0 || lead > 0xF4) return kReplacement;
    char32_t point = lead & (0x3F >> continuations);
    size_t start = at;
    for (int read = 0; read < continuations; ++read) {
        if (at >= text.size() || (byte(at) & 0xC0) != 0x80) {
            at = start;
            return kReplacement;
        }
        point = point << 6 | (byte(at++) & 0x3F);
    }
    bool overlong =
        (continuations == 2 && point < 0x800) || (continuations == 3 && point < 0x10000);
    if (overlong || (point >= 0xD800 && point <= 0xDFFF) || point > 0x10FFFF) return kReplacement;
    return point;
}

void AppendUtf8(char32_t point, std::string& out) {
    if (point < 0x80) {
        out += static_cast<char>(point);
    } else if (point < 0x800) {
        out += static_cast<char>(0xC0 | point >> 6);
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        out += static_cast<char>(0xE0 | point >> 12);
        out += static_cast<char>(0x80 | (point >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | point >> 18);
        out += static_cast<char>(0x80 | (point >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (point >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    }
}

}  // namespace

std::wstring WideFromUtf8(const std::string& text) {
    std::wstring wide;
    for (size_t at = 0; at < text.size();) {
        char32_t point = DecodeAt(text, at);
        if (point < 0x10000) {
            wide += static_cast<wchar_t>(point);
        } else {
            wide += static_cast<wchar_t>(0xD800 + ((point - 0x10000) >> 10));
            wide += static_cast<wchar_t>(0xDC00 + ((point - 0x10000) & 0x3FF));
        }
    }
    return wide;
}

std::string Utf8FromWide(const std::wstring& text) {
    std::string utf8;
    for (size_t at = 0; at < text.size(); ++at) {
        auto unit = static_cast<char32_t>(text[at]);
        if (unit >= 0xD800 && unit <= 0xDBFF && at + 1 < text.size() && text[at + 1] >= 0xDC00 &&
            text[at + 1] <= 0xDFFF) {
            unit = 0x10000 + ((unit - 0xD800) << 10) + (static_cast<char32_t>(text[++at]) - 0xDC00);
        } else if ((unit >= 0xD800 && unit <= 0xDFFF) || unit > 0x10FFFF) {
            unit = kReplacement;
        }
        AppendUtf8(unit, utf8);
    }
    return utf8;
}

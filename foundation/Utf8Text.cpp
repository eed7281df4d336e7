#include "foundation/Utf8Text.h"

namespace {

constexpr wchar_t kReplacementCharacter = 0xFFFD;

struct SequenceStart {
    int continuations;  // bytes that follow the lead byte
    uint32_t bits;      // the lead byte's share of the code point
    // The range of the first continuation byte; it rules out overlong
    // forms, surrogates and values above U+10FFFF.
    unsigned char firstLow;
    unsigned char firstHigh;
};

// False for a byte that cannot start a sequence.
bool ReadLeadByte(unsigned char lead, SequenceStart& start) {
    if (lead >= 0xC2 && lead <= 0xDF) {
        start = {1, lead & 0x1Fu, 0x80, 0xBF};
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        start = {2, lead & 0x0Fu, static_cast<unsigned char>(lead == 0xE0 ? 0xA0 : 0x80),
                 static_cast<unsigned char>(lead == 0xED ? 0x9F : 0xBF)};
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        start = {3, lead & 0x07u, static_cast<unsigned char>(lead == 0xF0 ? 0x90 : 0x80),
                 static_cast<unsigned char>(lead == 0xF4 ? 0x8F : 0xBF)};
    } else {
        return false;
    }
    return true;
}

int32_t PutCodePoint(wchar_t* out, uint32_t codePoint) {
    if (codePoint < 0x10000) {
        out[0] = static_cast<wchar_t>(codePoint);
        return 1;
    }
    codePoint -= 0x10000;
    out[0] = static_cast<wchar_t>(0xD800 + (codePoint >> 10));
    out[1] = static_cast<wchar_t>(0xDC00 + (codePoint & 0x3FF));
    return 2;
}

}  // namespace

WideString FromUtf8(const char* bytes, int32_t count) {
    WideString text;
    // Every byte gives at most one unit: a four-byte sequence gives two.
    wchar_t* out = text.GetBuffer(count);
    if (!out) return WideString();
    const auto* in = reinterpret_cast<const unsigned char*>(bytes);
    int32_t written = 0;
    int32_t at = 0;
    while (at < count) {
        unsigned char lead = in[at++];
        SequenceStart start;
        if (lead < 0x80) {
            out[written++] = lead;
            continue;
        }
        if (!ReadLeadByte(lead, start)) {
            out[written++] = kReplacementCharacter;
            continue;
        }
        uint32_t codePoint = start.bits;
        unsigned char low = start.firstLow, high = start.firstHigh;
        int read = 0;
        while (read < start.continuations && at < count && in[at] >= low && in[at] <= high) {
            codePoint = codePoint << 6 | (in[at++] & 0x3Fu);
            low = 0x80;
            high = 0xBF;
            ++read;
        }
        if (read < start.continuations) {
            out[written++] = kReplacementCharacter;
            continue;
        }
        written += PutCodePoint(out + written, codePoint);
    }
    out[written] = 0;
    return text;
}

WideString FromUtf8UpTo(const char* bytes, int32_t limit) {
    int32_t length = 0;
    while (length < limit && bytes[length] != 0) ++length;
    return FromUtf8(bytes, length);
}

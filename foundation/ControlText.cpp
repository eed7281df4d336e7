#include "foundation/ControlText.h"

#include <cstddef>
#include <cstdint>

#include "protocol/HexDigits.h"

namespace {

bool IsControlCharacter(unsigned char byte) {
    return byte < 0x20 || byte == 0x7F;
}

char ShortEscapeLetter(char c) {
    switch (c) {
        case '\t':
            return 't';
        case '\n':
            return 'n';
        case '\r':
            return 'r';
        default:
            return 0;
    }
}

size_t EscapedLength(char c) {
    if (!IsControlCharacter(static_cast<unsigned char>(c))) return 1;
    return ShortEscapeLetter(c) ? 2 : 4;
}

char* AppendEscaped(char* out, char c) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (!IsControlCharacter(byte)) {
        *out++ = c;
        return out;
    }
    *out++ = '\\';
    if (char letter = ShortEscapeLetter(c)) {
        *out++ = letter;
        return out;
    }
    *out++ = 'x';
    *out++ = protocol::UpperHexDigit(byte >> 4);
    *out++ = protocol::UpperHexDigit(byte);
    return out;
}

}  // namespace

NarrowString EscapeControlCharacters(const char* text) {
    NarrowString escaped;
    if (!text) return escaped;
    size_t length = 0;
    for (const char* c = text; *c; ++c) length += EscapedLength(*c);
    if (length > static_cast<size_t>(INT32_MAX)) return escaped;
    char* out = escaped.GetBuffer(static_cast<int32_t>(length));
    if (!out) return escaped;
    for (const char* c = text; *c; ++c) out = AppendEscaped(out, *c);
    *out = 0;
    return escaped;
}

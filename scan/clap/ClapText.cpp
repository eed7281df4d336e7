#include "scan/clap/ClapText.h"

#include <cstring>

#include "foundation/ControlText.h"
#include "foundation/Utf8Text.h"

WideString ReadClapText(const char* text, int32_t limit) {
    return text ? FromUtf8UpTo(text, limit) : WideString();
}

// Through well-formed UTF-8 first, so that the escaping never splits a
// sequence and what reaches the line is what the report would show.
WideString ShownClapText(const char* text) {
    WideString read = ReadClapText(text);
    NarrowString utf8 = ToUtf8(read.Chars());
    NarrowString escaped = EscapeControlCharacters(utf8.Chars());
    if (escaped.IsNull()) return WideString();
    return FromUtf8(escaped.Chars(), static_cast<int32_t>(std::strlen(escaped.Chars())));
}

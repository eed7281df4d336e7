// The input is a plugin's text; once escaped it must hold no control
// character, so it cannot end a line of the protocol or start one.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "foundation/ControlText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    NarrowString escaped = EscapeControlCharacters(text.c_str());
    if (escaped.IsNull()) std::abort();
    for (const char* c = escaped.Chars(); *c; ++c) {
        auto byte = static_cast<unsigned char>(*c);
        if (byte < 0x20 || byte == 0x7F) std::abort();
    }
    return 0;
}

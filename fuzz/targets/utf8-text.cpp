// The input is a plugin's text as bytes, read both counted and up to its
// first zero; the result must be UTF-16 without a lone surrogate.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "foundation/Utf8Text.h"

namespace {

void CheckWellFormed(const WideString& text) {
    const wchar_t* units = text.Chars();
    if (!units) return;
    for (int32_t at = 0; units[at]; ++at) {
        wchar_t unit = units[at];
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (units[at + 1] < 0xDC00 || units[at + 1] > 0xDFFF) std::abort();
            ++at;
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of the exact size, so that a read past the end is seen.
    std::vector<char> bytes(data, data + size);
    auto count = static_cast<int32_t>(size);
    CheckWellFormed(FromUtf8(bytes.data(), count));
    CheckWellFormed(FromUtf8UpTo(bytes.data(), count));
    return 0;
}

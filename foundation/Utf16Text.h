// UTF-16 from outside the process (plugin texts) to the process's UTF-16,
// without ever passing an unpaired surrogate on.
#pragma once

#include <cstdint>

#include "foundation/SharedString.h"

// The units up to the first zero or `limit` units, whichever comes first, so
// a text without its terminator is cut. Each unpaired surrogate becomes one
// U+FFFD. Null when memory runs out.
WideString FromUtf16UpTo(const char16_t* units, int32_t limit);

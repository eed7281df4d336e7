// UTF-8 from outside the process (plugin texts) to the process's UTF-16,
// without ever passing an ill-formed byte on.
#pragma once

#include <cstdint>

#include "foundation/SharedString.h"

// The first `count` bytes as UTF-16. Each ill-formed part (a stray or
// truncated sequence, an overlong form, a surrogate, a value above U+10FFFF)
// becomes one U+FFFD, the longest such part at a time; characters outside
// the Basic Multilingual Plane become surrogate pairs. Null when memory runs out.
WideString FromUtf8(const char* bytes, int32_t count);
// The bytes up to the first zero or `limit` bytes, whichever comes first, read
// as FromUtf8 reads them: a text without its terminator is cut rather than
// followed into memory it does not own.
WideString FromUtf8UpTo(const char* bytes, int32_t limit);

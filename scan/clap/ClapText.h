// Texts a CLAP plugin hands over: read bounded, as UTF-16, for the report,
// and neutralised for the "info" and "warn" lines.
#pragma once

#include <cstdint>

#include "foundation/SharedString.h"

// The longest text read from a plugin, terminator or not.
constexpr int32_t kMaxClapTextBytes = 4096;

// The text up to `limit` bytes; null for a null text.
WideString ReadClapText(const char* text, int32_t limit = kMaxClapTextBytes);
// The text as ReadClapText reads it, its control characters spelled out, so
// that it cannot end a protocol line or start one.
WideString ShownClapText(const char* text);

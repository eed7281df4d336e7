// Plugin texts echoed on the "info", "warn" and "error" channels: their control
// characters spelled out, so that no text from a plugin can end a line of the
// protocol or start one.
#pragma once

#include "foundation/SharedString.h"

// Tab, line feed and carriage return become "\t", "\n" and "\r", every other
// byte from 0x00 to 0x1F and 0x7F becomes "\xHH"; all other bytes stay as they
// are. Null in (or no memory), null out.
NarrowString EscapeControlCharacters(const char* text);

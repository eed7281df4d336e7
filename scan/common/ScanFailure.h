// How a probe or driver gives up: the scan's error set, false returned.
#pragma once

#include "foundation/SharedString.h"

// Sets the error to the formatted text (null when memory ran out) and
// returns false, so that a step can end with `return Fail(result.error, ...)`.
bool Fail(WideString& error, const wchar_t* format, ...);

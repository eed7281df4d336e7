// Reading one request line from the host's input pipe.
#pragma once

#include <windows.h>

#include "foundation/SharedString.h"

enum class RequestStatus { kClosed, kComplete, kTooLong, kHoldsNul, kNoMemory };

// One read is one request; a read that fills the whole buffer without a line
// feed is continued to the line feed, and closed input before it is kClosed.
// The line comes without its line feed.
[[nodiscard]] RequestStatus ReadRequest(HANDLE input, NarrowString& request);

// The UTF-8 request as UTF-16; null when memory runs out.
WideString WidenRequest(const NarrowString& request);

// A library file's version resource, read as the scan's fallback version.
#pragma once

#include <windows.h>

#include "foundation/SharedString.h"

[[nodiscard]] bool ReadFixedFileInfo(const WideString& path, VS_FIXEDFILEINFO& info);

// The product version pair when either half is set, else the file version
// pair, as "a.b.c.d"; null when the file has neither.
WideString FileVersionText(const WideString& path);

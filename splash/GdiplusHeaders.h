// The GDI+ headers, usable with NOMINMAX in force: they call min and max
// unqualified, which windows.h no longer defines then.
#pragma once

#include <objidl.h>
#include <windows.h>

#include <algorithm>

namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus

#include <gdiplus.h>

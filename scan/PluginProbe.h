// Questions a loaded plugin library through its VST 2 entry point and
// dispatcher, filling a scan result; the module stays loaded.
#pragma once

#include <windows.h>

#include "foundation/SharedString.h"
#include "scan/Vst2.h"

struct ScanResult;

// More answers than any real shell lists; a shell that never ends its listing
// is cut here so that the scan still finishes.
constexpr int kMaxShellListing = 10000;

[[nodiscard]] bool ProbePlugin(HMODULE module, ScanResult& result);

WideString QueryVendorString(AEffect* effect);
int32_t QueryCanDo(AEffect* effect, const char* capability);

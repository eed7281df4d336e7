// Questions a loaded plugin library through its VST 2 entry point and
// dispatcher, filling a scan result; the module stays loaded.
#pragma once

#include <windows.h>

struct Vst2ScanResult;

// More answers than any real shell lists; a shell that never ends its listing
// is cut here so that the scan still finishes.
constexpr int kMaxShellListing = 10000;

[[nodiscard]] bool ProbeVst2Plugin(HMODULE module, Vst2ScanResult& result);

// Answers one request of the host: scans the named plugin library and writes
// the outcome. Keeps a shell library loaded between requests.
#pragma once

#include <windows.h>

#include "foundation/SharedString.h"

struct ScanResult;

// A library path ending in ".clap" is scanned as a CLAP file (ClapDriver),
// one ending in ".vst3" as a VST3 module (Vst3Driver), any other as a VST 2
// library.
void HandleScanRequest(const WideString& request);
// A request that is not scanned: its reason on the "error" channel and the
// report of an empty result, as for any failed scan.
void RejectScanRequest(const WideString& reason);

[[nodiscard]] bool ScanPlugin(const WideString& request, ScanResult& result);

bool IsLibraryCached();
void FreeCachedLibrary();

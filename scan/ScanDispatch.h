// Answers one request of the host: the format its library path names
// (protocol/PluginFormat.h) picks the driver that scans it and writes the
// outcome.
#pragma once

#include "foundation/SharedString.h"
// The end of the service frees the shell library a scan kept loaded.
#include "scan/common/LibraryCache.h"

void HandleScanRequest(const WideString& request);
// A request that is not scanned: its reason on the "error" channel and the
// report of an empty VST 2 result, as for any failed scan.
void RejectScanRequest(const WideString& reason);

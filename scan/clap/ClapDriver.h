// Answers a request for a CLAP file: loads it, lists its plugins, frees it
// again, and writes the outcome. A CLAP library is never kept loaded.
#pragma once

#include "foundation/SharedString.h"

struct ClapScanResult;

// The request as it came (written in the first line), and its library path.
void HandleClapScanRequest(const WideString& request, const WideString& libraryPath);

[[nodiscard]] bool ScanClapPlugin(const WideString& request, const WideString& libraryPath,
                                  ClapScanResult& result);

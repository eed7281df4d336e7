// Answers a request for a VST 2 library: scans the plugin, or the sub-plugin
// of a shell library that "path>ID" names, and writes the outcome. A shell
// library stays loaded for the requests of its sub-plugins that follow.
#pragma once

#include "foundation/SharedString.h"

struct Vst2ScanResult;

// The request as it came (written in the first line; its sub-plugin id
// follows the first ">"), and its library path.
void HandleVst2ScanRequest(const WideString& request, const WideString& libraryPath);

[[nodiscard]] bool ScanVst2Plugin(const WideString& request, const WideString& libraryPath,
                                  Vst2ScanResult& result);

// Answers a request for a VST3 module (a bundle folder or a module file):
// loads the module, lists its classes, reads an instance of each audio
// processor class unless the request asks for the factory alone, frees the
// module again, and writes the outcome. A VST3 module is never kept loaded.
#pragma once

#include "foundation/SharedString.h"

struct Vst3ScanResult;

// The request as it came (written in the first line), and its library path.
void HandleVst3ScanRequest(const WideString& request, const WideString& libraryPath);

[[nodiscard]] bool ScanVst3Module(const WideString& request, const WideString& libraryPath,
                                  Vst3ScanResult& result);

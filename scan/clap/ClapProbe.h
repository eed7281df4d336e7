// Reads the plugin descriptors of a loaded CLAP library through its exported
// entry and plugin factory, then, unless the factory alone is asked for, an
// instance of each plugin; the module stays loaded.
#pragma once

#include <windows.h>

#include "foundation/SharedString.h"

struct ClapScanResult;

// More descriptors than any real file holds; a larger count is cut here.
constexpr uint32_t kMaxClapPlugins = 10000;
// More features than any descriptor lists; a list without its null end is cut here.
constexpr int32_t kMaxClapFeatures = 1000;

[[nodiscard]] bool ProbeClapPlugin(HMODULE module, const WideString& libraryPath, bool factoryOnly,
                                   ClapScanResult& result);

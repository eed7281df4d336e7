// Reads the factory and class records of a loaded VST3 module through its
// exported plugin factory and, when `instances` is set, what an instance of
// each audio processor class tells; the module stays loaded.
#pragma once

#include <windows.h>

#include <cstdint>

struct Vst3ScanResult;

// More classes than any real module holds; a larger count is cut here.
constexpr int32_t kMaxVst3Classes = 10000;

[[nodiscard]] bool ProbeVst3Module(HMODULE module, bool instances, Vst3ScanResult& result);

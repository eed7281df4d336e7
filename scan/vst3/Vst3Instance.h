// Reads what only an instance tells of an audio processor class: its buses,
// its latency and its parameter count. Every object made is terminated and
// released again, the controller before the component.
#pragma once

#include <cstdint>

#include "scan/vst3/Vst3.h"

struct CVst3Class;

// More buses of one kind than any real component has; a larger count is cut here.
constexpr int32_t kMaxVst3Buses = 256;

// `index` is the class's place in the report, for the "info" lines. A failing
// step is named in found.instanceError; what was read before it stays.
void ReadVst3Instance(vst3::IPluginFactory* factory, int32_t index, CVst3Class& found);

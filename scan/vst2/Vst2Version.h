// A VST 2 plugin's vendor version number as the report shows it.
#pragma once

#include <cstdint>

#include "foundation/SharedString.h"

// The number as dotted text, read by its range; empty for 0.
WideString FormatVst2Version(int32_t version);

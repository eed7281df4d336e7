// The host context every component and controller is initialised with, and
// the factory's IPluginFactory3 is given: an IHostApplication of our own.
#pragma once

#include "scan/vst3/Vst3.h"

// A static object: it outlives every plugin object that may hold it.
vst3::IHostApplication* Vst3HostContext();

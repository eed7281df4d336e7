// The floor of one scan: the plugin loaded, entered, questioned and closed
// inside the calling process, with no server and no protocol.
#pragma once

#include <windows.h>

// The same library calls and dispatcher queries a scan of a plain plugin
// makes; false when the library does not load or is not a VST 2 plugin.
[[nodiscard]] bool ScanInProcess(const wchar_t* libraryPath);

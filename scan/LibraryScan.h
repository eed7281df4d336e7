// The scan of a library that is loaded for one request and freed after it
// (CLAP files and VST3 modules), around the probe of its format. Only VST 2
// shell libraries are kept loaded between requests.
#pragma once

#include <windows.h>

#include "foundation/SharedString.h"
#include "platform/KernelHandles.h"
#include "scan/VersionResource.h"

// Writes the request's first line and frees a cached shell library.
void BeginLibraryScan(const WideString& request);

// False, with the error set, when the library cannot be loaded.
[[nodiscard]] bool LoadLibraryForScan(const WideString& path, UniqueModule& module,
                                      WideString& error);
// The crash filter installed again, the splash window active, messages pumped.
void PrepareForProbe();
// Messages pumped, the library freed, the scan's last line written.
void FreeScannedLibrary(UniqueModule& module);

// Loads the library, reads its version resource and runs probe(module)
// between the message pumps. The probe's outcome, or false when loading failed.
template <typename Probe>
[[nodiscard]] bool ScanLibraryOnce(const WideString& path, WideString& error,
                                   WideString& fileVersion, Probe probe) {
    UniqueModule module;
    if (!LoadLibraryForScan(path, module, error)) return false;
    fileVersion = FileVersionText(path);
    PrepareForProbe();
    bool probed = probe(module.Get());
    FreeScannedLibrary(module);
    return probed;
}

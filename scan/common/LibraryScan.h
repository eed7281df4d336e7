// The steps of every format's scan around the probe: the load, the
// preparation before the probe and the end (the library freed, or kept when
// it is a VST 2 shell), and the scan of a library that is loaded for one
// request only (CLAP files and VST3 modules).
#pragma once

#include <windows.h>

#include <utility>

#include "foundation/SharedString.h"
#include "platform/KernelHandles.h"
#include "scan/common/VersionResource.h"

// Whether the request is a library path followed by protocol::kFactoryOnlyRequest:
// the factory is read alone, no instance made.
[[nodiscard]] bool AsksForFactoryOnly(const WideString& request);

// Writes the request's first line.
void WriteScanStart(const WideString& request);
// Writes the request's first line and frees a cached shell library: the start
// of a scan whose library is not kept.
void BeginLibraryScan(const WideString& request);

// False, with the error set, when the library cannot be loaded.
[[nodiscard]] bool LoadLibraryForScan(const WideString& path, UniqueModule& module,
                                      WideString& error);
// The splash window active, messages pumped.
void PrepareForProbe();
// Messages pumped, the library kept or freed, the scan's last line written.
void EndLibraryScan(UniqueModule module, const WideString& path, bool keep);

// Loads the library, reads its version resource and runs probe(module)
// between the message pumps, then frees it. The probe's outcome, or false
// when loading failed.
template <typename Probe>
[[nodiscard]] bool ScanLibraryOnce(const WideString& path, WideString& error,
                                   WideString& fileVersion, Probe probe) {
    UniqueModule module;
    if (!LoadLibraryForScan(path, module, error)) return false;
    fileVersion = FileVersionText(path);
    PrepareForProbe();
    bool probed = probe(module.Get());
    EndLibraryScan(std::move(module), path, false);
    return probed;
}

void WriteScanError(const WideString& error);

// The error of a failed scan on the "error" channel, then the report.
template <typename Result>
void WriteOutcome(bool scanned, const Result& result, void (*writeReport)(const Result&)) {
    if (!scanned) WriteScanError(result.error);
    writeReport(result);
}

#include "scan/vst2/Vst2Driver.h"

#include <cwchar>
#include <utility>

#include "platform/KernelHandles.h"
#include "protocol/HexDigits.h"
#include "scan/common/LibraryCache.h"
#include "scan/common/LibraryScan.h"
#include "scan/common/VersionResource.h"
#include "scan/vst2/Vst2HostCallback.h"
#include "scan/vst2/Vst2Probe.h"
#include "scan/vst2/Vst2Report.h"

namespace {

// The hexadecimal sub-plugin id after the request's first ">", of which only
// the last eight digits count; 0 without one.
int32_t ShellIdOf(const WideString& request) {
    const wchar_t* marker = request.IsNull() ? nullptr : wcschr(request.Chars(), L'>');
    if (!marker) return 0;
    uint32_t id = 0;
    for (const wchar_t* digit = marker + 1; protocol::HexDigitValue(*digit) >= 0; ++digit) {
        id = (id << 4) + static_cast<uint32_t>(protocol::HexDigitValue(*digit));
    }
    return static_cast<int32_t>(id);
}

}  // namespace

bool ScanVst2Plugin(const WideString& request, const WideString& libraryPath,
                    Vst2ScanResult& result) {
    WriteScanStart(request);
    UniqueModule module;
    bool reused = ReuseCachedLibrary(libraryPath, module);
    if (!reused && !LoadLibraryForScan(libraryPath, module, result.error)) return false;
    WideString fileVersion = FileVersionText(libraryPath);
    PrepareForProbe();

    CurrentShellId = ShellIdOf(request);
    bool probed = ProbeVst2Plugin(module.Get(), result);
    CurrentShellId = 0;

    if (result.version.GetLength() == 0) result.version = fileVersion;
    EndLibraryScan(std::move(module), libraryPath, result.shells.Count() > 0 || reused);
    return probed;
}

void HandleVst2ScanRequest(const WideString& request, const WideString& libraryPath) {
    Vst2ScanResult result;
    bool scanned = ScanVst2Plugin(request, libraryPath, result);
    WriteOutcome(scanned, result, WriteVst2Report);
}

#include "scan/ScanDispatch.h"

#include <cwchar>

#include "protocol/PluginFormat.h"
#include "scan/clap/ClapDriver.h"
#include "scan/common/LibraryScan.h"
#include "scan/vst2/Vst2Driver.h"
#include "scan/vst2/Vst2Report.h"
#include "scan/vst3/Vst3Driver.h"

namespace {

// The request up to its first ">": a VST 2 shell request names its
// sub-plugin after it, the other formats ignore what follows.
WideString LibraryPathOf(const WideString& request) {
    const wchar_t* text = request.IsNull() ? L"" : request.Chars();
    const wchar_t* marker = wcschr(text, L'>');
    if (!marker) return request;
    WideString path;
    if (!path.Assign(text, static_cast<int32_t>(marker - text))) path.Release();
    return path;
}

}  // namespace

void HandleScanRequest(const WideString& request) {
    WideString libraryPath = LibraryPathOf(request);
    // A null path has length 0 and is never read.
    switch (protocol::FormatOfLibraryPath(libraryPath.Chars(),
                                          static_cast<size_t>(libraryPath.GetLength()))) {
        case protocol::PluginFormat::kVst2:
            HandleVst2ScanRequest(request, libraryPath);
            return;
        case protocol::PluginFormat::kClap:
            HandleClapScanRequest(request, libraryPath);
            return;
        case protocol::PluginFormat::kVst3:
            HandleVst3ScanRequest(request, libraryPath);
            return;
    }
}

void RejectScanRequest(const WideString& reason) {
    Vst2ScanResult result;
    result.error = reason;
    WriteOutcome(false, result, WriteVst2Report);
}

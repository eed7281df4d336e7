#include "scan/vst3/Vst3Driver.h"

#include <windows.h>

#include "channel/OutputChannel.h"
#include "protocol/PluginFormat.h"
#include "scan/common/LibraryScan.h"
#include "scan/common/ScanFailure.h"
#include "scan/vst3/Vst3Probe.h"
#include "scan/vst3/Vst3Report.h"

namespace {

bool IsFolder(const WideString& path) {
    DWORD attributes = GetFileAttributesW(path.Chars());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFile(const WideString& path) {
    DWORD attributes = GetFileAttributesW(path.Chars());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A path that is no folder is the module itself (the single-file layout); a
// bundle folder holds its x64 module under its own name. False, with the
// error naming the path looked for, when the bundle lacks it.
[[nodiscard]] bool FindModule(const WideString& path, WideString& module, WideString& error) {
    if (!IsFolder(path)) {
        module = path;
        return true;
    }
    const wchar_t* text = path.Chars();
    const wchar_t* name =
        text + protocol::Vst3BundleNameOffset(text, static_cast<size_t>(path.GetLength()));
    module = Format(L"%s%s%s", text, protocol::kVst3BundleModuleFolder, name);
    if (!IsFile(module)) return Fail(error, L"No x64 module in the bundle: %s", module.Chars());
    WriteInfo(L"Module of the bundle: '%s'\n", module.Chars());
    return true;
}

}  // namespace

bool ScanVst3Module(const WideString& request, const WideString& libraryPath,
                    Vst3ScanResult& result) {
    BeginLibraryScan(request);
    WideString module;
    if (!FindModule(libraryPath, module, result.error)) return false;
    bool instances = !AsksForFactoryOnly(request);
    return ScanLibraryOnce(module, result.error, result.fileVersion, [&](HMODULE loaded) {
        return ProbeVst3Module(loaded, instances, result);
    });
}

void HandleVst3ScanRequest(const WideString& request, const WideString& libraryPath) {
    Vst3ScanResult result;
    bool scanned = ScanVst3Module(request, libraryPath, result);
    WriteOutcome(scanned, result, WriteVst3Report);
}

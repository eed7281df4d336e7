#include "scan/Vst3Driver.h"

#include <windows.h>

#include "channel/OutputChannel.h"
#include "protocol/PluginFormat.h"
#include "scan/LibraryScan.h"
#include "scan/Vst3Probe.h"
#include "scan/Vst3Result.h"

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
    const wchar_t* name = text;
    for (const wchar_t* at = text; *at != 0; ++at) {
        if (*at == L'\\' || *at == L'/') name = at + 1;
    }
    module = Format(L"%s%s%s", text, protocol::kVst3BundleModuleFolder, name);
    if (!IsFile(module)) {
        error = Format(L"No x64 module in the bundle: %s", module.Chars());
        return false;
    }
    WriteInfo(L"Module of the bundle: '%s'\n", module.Chars());
    return true;
}

}  // namespace

bool ScanVst3Module(const WideString& request, const WideString& libraryPath,
                    Vst3ScanResult& result) {
    BeginLibraryScan(request);
    WideString module;
    if (!FindModule(libraryPath, module, result.error)) return false;
    return ScanLibraryOnce(module, result.error, result.fileVersion,
                           [&](HMODULE loaded) { return ProbeVst3Module(loaded, result); });
}

void HandleVst3ScanRequest(const WideString& request, const WideString& libraryPath) {
    Vst3ScanResult result;
    if (!ScanVst3Module(request, libraryPath, result)) WriteError(L"%s\n", result.error.Chars());
    WriteVst3Report(result);
}

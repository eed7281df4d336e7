#include "scan/ScanDriver.h"

#include <utility>

#include "channel/OutputChannel.h"
#include "crash/CrashFilter.h"
#include "foundation/HexDigit.h"
#include "platform/KernelHandles.h"
#include "protocol/PluginFormat.h"
#include "scan/ClapDriver.h"
#include "scan/HostCallback.h"
#include "scan/PluginProbe.h"
#include "scan/ScanResult.h"
#include "scan/VersionResource.h"
#include "scan/Vst3Driver.h"
#include "splash/MessagePump.h"
#include "splash/SplashWindow.h"

namespace {

struct LibraryCache {
    UniqueModule module;
    WideString path;
};

LibraryCache libraryCache;

struct ScanRequest {
    WideString libraryPath;
    int32_t shellId = 0;
};

// The library path before the first ">", and the hexadecimal shell id after
// it, of which only the last eight digits count.
ScanRequest SplitRequest(const WideString& request) {
    ScanRequest split;
    const wchar_t* text = request.Chars() ? request.Chars() : L"";
    const wchar_t* marker = wcschr(text, L'>');
    if (!marker) {
        split.libraryPath = request;
        return split;
    }
    if (!split.libraryPath.Assign(text, static_cast<int32_t>(marker - text))) {
        split.libraryPath.Release();
    }
    uint32_t id = 0;
    for (const wchar_t* digit = marker + 1; HexDigitValue(*digit) >= 0; ++digit) {
        id = (id << 4) + static_cast<uint32_t>(HexDigitValue(*digit));
    }
    split.shellId = static_cast<int32_t>(id);
    return split;
}

void KeepOrFreeLibrary(UniqueModule module, const WideString& path, bool keep) {
    if (keep) {
        WriteInfo(L"Keeping shell library loaded for now...\n");
        libraryCache.module = std::move(module);
        libraryCache.path = path;
    } else {
        WriteInfo(L"Freeing library...\n");
        module.Close();
    }
}

void WriteOutcome(bool scanned, const ScanResult& result) {
    if (!scanned) WriteError(L"%s\n", result.error.Chars());
    WriteScanReport(result);
}

}  // namespace

bool IsLibraryCached() {
    return libraryCache.module.IsValid();
}

void FreeCachedLibrary() {
    WriteInfo(L"Freeing cached library...\n");
    libraryCache.module.Close();
    libraryCache.path.Release();
    WriteInfo(L"Freed\n");
}

bool ScanPlugin(const WideString& request, ScanResult& result) {
    WriteInfo(L"Scanning plugin: '%s'\n", request.Chars());
    ScanRequest split = SplitRequest(request);
    InstallCrashFilter();

    UniqueModule module;
    bool reused;
    if (libraryCache.module.IsValid() && libraryCache.path == split.libraryPath) {
        WriteInfo(L"Re-using previous library instance...\n");
        module = std::move(libraryCache.module);
        reused = true;
    } else {
        if (libraryCache.module.IsValid()) FreeCachedLibrary();
        WriteInfo(L"Loading library...\n");
        module.Reset(
            LoadLibraryExW(split.libraryPath.Chars(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
        if (!module.IsValid()) {
            result.error = Format(L"Failed to load library, err=%i", GetLastError());
            return false;
        }
        reused = false;
    }

    WideString fileVersion = FileVersionText(split.libraryPath);
    InstallCrashFilter();
    if (HWND splash = GetSplashWindow()) SetActiveWindow(splash);
    PumpWindowMessages();

    CurrentShellId = split.shellId;
    bool probed = ProbePlugin(module.Get(), result);
    CurrentShellId = 0;

    if (result.version.GetLength() == 0) result.version = fileVersion;
    PumpWindowMessages();

    KeepOrFreeLibrary(std::move(module), split.libraryPath, result.shells.Count() > 0 || reused);
    WriteInfo(L"Finished\n");
    return probed;
}

void HandleScanRequest(const WideString& request) {
    WideString libraryPath = SplitRequest(request).libraryPath;
    // A null path has length 0 and is never read.
    switch (protocol::FormatOfLibraryPath(libraryPath.Chars(),
                                          static_cast<size_t>(libraryPath.GetLength()))) {
        case protocol::PluginFormat::kClap:
            HandleClapScanRequest(request, libraryPath);
            return;
        case protocol::PluginFormat::kVst3:
            HandleVst3ScanRequest(request, libraryPath);
            return;
        case protocol::PluginFormat::kVst2:
            break;
    }
    ScanResult result;
    bool scanned = ScanPlugin(request, result);
    WriteOutcome(scanned, result);
}

void RejectScanRequest(const WideString& reason) {
    ScanResult result;
    result.error = reason;
    WriteOutcome(false, result);
}

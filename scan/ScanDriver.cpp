#include "scan/ScanDriver.h"

#include <vector>

#include "app/OutputChannel.h"
#include "app/RequestLoop.h"
#include "crash/CrashFilter.h"
#include "foundation/HexDigit.h"
#include "scan/HostCallback.h"
#include "scan/PluginProbe.h"
#include "scan/ScanResult.h"
#include "splash/SplashWindow.h"

namespace {

struct LibraryCache {
    HMODULE module = nullptr;
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

// The product version pair when either half is set, else the file version pair.
WideString FileVersionText(const WideString& path) {
    VS_FIXEDFILEINFO info;
    if (!ReadFixedFileInfo(path, info)) return WideString();
    DWORD ms = info.dwProductVersionMS;
    DWORD ls = info.dwProductVersionLS;
    if (ms == 0 && ls == 0) {
        ms = info.dwFileVersionMS;
        ls = info.dwFileVersionLS;
    }
    if (ms == 0 && ls == 0) return WideString();
    return Format(L"%i.%i.%i.%i", HIWORD(ms), LOWORD(ms), HIWORD(ls), LOWORD(ls));
}

void KeepOrFreeLibrary(HMODULE module, const WideString& path, bool keep) {
    if (keep) {
        WriteInfo(L"Keeping shell library loaded for now...\n");
        libraryCache.module = module;
        libraryCache.path = path;
    } else {
        WriteInfo(L"Freeing library...\n");
        FreeLibrary(module);
    }
}

void WriteOutcome(bool scanned, const ScanResult& result) {
    if (!scanned) WriteError(L"%s\n", result.error.Chars());
    WriteScanReport(result);
}

}  // namespace

bool IsLibraryCached() { return libraryCache.module != nullptr; }

void FreeCachedLibrary() {
    WriteInfo(L"Freeing cached library...\n");
    FreeLibrary(libraryCache.module);
    libraryCache.module = nullptr;
    libraryCache.path.Release();
    WriteInfo(L"Freed\n");
}

bool ReadFixedFileInfo(const WideString& path, VS_FIXEDFILEINFO& info) {
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path.Chars(), &handle);
    if (size == 0) return false;
    std::vector<unsigned char> block;
    block.resize(size);
    if (!GetFileVersionInfoW(path.Chars(), handle, size, block.data())) return false;
    void* root = nullptr;
    UINT rootBytes = 0;
    if (!VerQueryValueW(block.data(), L"\\", &root, &rootBytes)) return false;
    // A root value shorter than the record would make us read past it.
    if (!root || rootBytes < sizeof(VS_FIXEDFILEINFO)) return false;
    memcpy(&info, root, sizeof(VS_FIXEDFILEINFO));
    return true;
}

bool ScanPlugin(const WideString& request, ScanResult& result) {
    WriteInfo(L"Scanning plugin: '%s'\n", request.Chars());
    ScanRequest split = SplitRequest(request);
    InstallCrashFilter();

    HMODULE module;
    bool reused;
    if (libraryCache.module && libraryCache.path == split.libraryPath) {
        WriteInfo(L"Re-using previous library instance...\n");
        module = libraryCache.module;
        reused = true;
    } else {
        if (libraryCache.module) FreeCachedLibrary();
        WriteInfo(L"Loading library...\n");
        module = LoadLibraryExW(split.libraryPath.Chars(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        if (!module) {
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
    bool probed = ProbePlugin(module, result);
    CurrentShellId = 0;

    if (result.version.GetLength() == 0) result.version = fileVersion;
    PumpWindowMessages();

    KeepOrFreeLibrary(module, split.libraryPath, result.shells.Count() > 0 || reused);
    WriteInfo(L"Finished\n");
    return probed;
}

void HandleScanRequest(const WideString& request) {
    ScanResult result;
    bool scanned = ScanPlugin(request, result);
    WriteOutcome(scanned, result);
}

void RejectScanRequest(const WideString& reason) {
    ScanResult result;
    result.error = reason;
    WriteOutcome(false, result);
}

#include "scan/common/LibraryScan.h"

#include <cwchar>

#include "channel/OutputChannel.h"
#include "crash/PluginCall.h"
#include "protocol/Protocol.h"
#include "scan/common/LibraryCache.h"
#include "splash/MessagePump.h"
#include "splash/SplashWindow.h"

bool AsksForFactoryOnly(const WideString& request) {
    if (request.IsNull()) return false;
    const wchar_t* marker = wcschr(request.Chars(), L'>');
    return marker && wcscmp(marker, protocol::kFactoryOnlyRequest) == 0;
}

void WriteScanStart(const WideString& request) {
    WriteInfo(L"Scanning plugin: '%s'\n", request.Chars());
}

void BeginLibraryScan(const WideString& request) {
    WriteScanStart(request);
    if (IsLibraryCached()) FreeCachedLibrary();
}

bool LoadLibraryForScan(const WideString& path, UniqueModule& module, WideString& error) {
    WriteInfo(L"Loading library...\n");
    DWORD loadError = 0;
    // The load runs the library's DllMain: plugin code. Its error is taken
    // inside the call, before the filter is armed again.
    module.Reset(CallPlugin([&] {
        HMODULE loaded = LoadLibraryExW(path.Chars(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        loadError = GetLastError();
        return loaded;
    }));
    if (module.IsValid()) return true;
    error = Format(L"Failed to load library, err=%i", loadError);
    return false;
}

// The messages pumped may reach windows of the plugin: its code.
void PrepareForProbe() {
    if (HWND splash = GetSplashWindow()) SetActiveWindow(splash);
    CallPlugin(PumpWindowMessages);
}

void EndLibraryScan(UniqueModule module, const WideString& path, bool keep) {
    CallPlugin(PumpWindowMessages);
    KeepOrFreeLibrary(std::move(module), path, keep);
    WriteInfo(L"Finished\n");
}

void WriteScanError(const WideString& error) {
    WriteError(L"%s\n", error.Chars());
}

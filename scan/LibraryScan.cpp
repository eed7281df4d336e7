#include "scan/LibraryScan.h"

#include "channel/OutputChannel.h"
#include "crash/CrashFilter.h"
#include "scan/ScanDriver.h"
#include "splash/MessagePump.h"
#include "splash/SplashWindow.h"

void BeginLibraryScan(const WideString& request) {
    WriteInfo(L"Scanning plugin: '%s'\n", request.Chars());
    InstallCrashFilter();
    if (IsLibraryCached()) FreeCachedLibrary();
}

bool LoadLibraryForScan(const WideString& path, UniqueModule& module, WideString& error) {
    WriteInfo(L"Loading library...\n");
    module.Reset(LoadLibraryExW(path.Chars(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (module.IsValid()) return true;
    error = Format(L"Failed to load library, err=%i", GetLastError());
    return false;
}

void PrepareForProbe() {
    InstallCrashFilter();
    if (HWND splash = GetSplashWindow()) SetActiveWindow(splash);
    PumpWindowMessages();
}

void FreeScannedLibrary(UniqueModule& module) {
    PumpWindowMessages();
    WriteInfo(L"Freeing library...\n");
    module.Close();
    WriteInfo(L"Finished\n");
}

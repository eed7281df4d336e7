#include "scan/ClapDriver.h"

#include "channel/OutputChannel.h"
#include "crash/CrashFilter.h"
#include "platform/KernelHandles.h"
#include "scan/ClapProbe.h"
#include "scan/ClapResult.h"
#include "scan/ScanDriver.h"
#include "scan/VersionResource.h"
#include "splash/MessagePump.h"
#include "splash/SplashWindow.h"

bool ScanClapPlugin(const WideString& request, const WideString& libraryPath,
                    ClapScanResult& result) {
    WriteInfo(L"Scanning plugin: '%s'\n", request.Chars());
    InstallCrashFilter();
    if (IsLibraryCached()) FreeCachedLibrary();
    WriteInfo(L"Loading library...\n");
    UniqueModule module(
        LoadLibraryExW(libraryPath.Chars(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!module.IsValid()) {
        result.error = Format(L"Failed to load library, err=%i", GetLastError());
        return false;
    }

    result.fileVersion = FileVersionText(libraryPath);
    InstallCrashFilter();
    if (HWND splash = GetSplashWindow()) SetActiveWindow(splash);
    PumpWindowMessages();
    bool probed = ProbeClapPlugin(module.Get(), libraryPath, result);
    PumpWindowMessages();

    WriteInfo(L"Freeing library...\n");
    module.Close();
    WriteInfo(L"Finished\n");
    return probed;
}

void HandleClapScanRequest(const WideString& request, const WideString& libraryPath) {
    ClapScanResult result;
    if (!ScanClapPlugin(request, libraryPath, result)) WriteError(L"%s\n", result.error.Chars());
    WriteClapReport(result);
}

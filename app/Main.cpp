// Process entry of the scan server: start-up, the request loop (or, without
// an input handle, a plain message loop for the splash window) and shutdown.
#include <windows.h>

#include "app/CommandLine.h"
#include "app/RequestLoop.h"
#include "channel/OutputChannel.h"
#include "crash/CrashFilter.h"
#include "scan/ScanDriver.h"
#include "splash/GdiplusOwners.h"
#include "splash/MessagePump.h"
#include "splash/SplashWindow.h"

namespace {

HANDLE HandleOrStandard(uint64_t value, DWORD standardHandle) {
    return value ? reinterpret_cast<HANDLE>(static_cast<uintptr_t>(value))
                 : GetStdHandle(standardHandle);
}

void ServeHost(HINSTANCE instance, const CommandLine& commandLine) {
    HANDLE input = HandleOrStandard(commandLine.inputHandle, STD_INPUT_HANDLE);
    SetOutputHandle(HandleOrStandard(commandLine.outputHandle, STD_OUTPUT_HANDLE));

    createSplashWindow(instance,
                       reinterpret_cast<HWND>(static_cast<uintptr_t>(commandLine.ownerWindow)));
    WriteInfo(L"Marlowind Plugin Scan Server (x64)\n");

    if (commandLine.inputHandle == 0) {
        RunMessageLoop();
    } else {
        // A plugin whose dependencies are missing must fail to load quietly
        // rather than stop the scan with a system dialog.
        SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
        RunRequestLoop(input);
    }

    if (IsLibraryCached()) FreeCachedLibrary();
    DestroySplashWindow();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    InitializeCrashDumps();
    InstallCrashFilter();
    CommandLine commandLine = ParseCommandLine(GetCommandLineW());
    SetCrashDumpDirectory(commandLine.dumpDirectory);
    UniqueGdiplusSession gdiplus = StartGdiplus();
    ServeHost(instance, commandLine);
    return 0;
}

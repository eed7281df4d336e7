// Process entry of the scan server: start-up, the request loop on a watched
// thread of its own (or, without an input handle, a plain message loop for the
// splash window) and shutdown.
#include <windows.h>

#include "app/CommandLine.h"
#include "app/RequestLoop.h"
#include "app/StandardHandles.h"
#include "channel/DumpLock.h"
#include "channel/OutputChannel.h"
#include "crash/CrashDump.h"
#include "crash/CrashFilter.h"
#include "crash/RequestWatch.h"
#include "scan/ScanDispatch.h"
#include "splash/GdiplusOwners.h"
#include "splash/MessagePump.h"
#include "splash/SplashWindow.h"

namespace {

HANDLE HandleOrStandard(uint64_t value, DWORD standardHandle) {
    return value ? reinterpret_cast<HANDLE>(static_cast<uintptr_t>(value))
                 : GetStdHandle(standardHandle);
}

struct Service {
    HINSTANCE instance;
    HWND ownerWindow;
    HANDLE input;
};

// The splash window belongs to the thread that serves, which pumps its messages.
void OpenService(const Service& service) {
    createSplashWindow(service.instance, service.ownerWindow);
    WriteInfo(L"Marlowind Plugin Scan Server (x64)\n");
}

void CloseService() {
    if (IsLibraryCached()) FreeCachedLibrary();
    DestroySplashWindow();
}

void ServeRequests(void* parameter) {
    const Service& service = *static_cast<const Service*>(parameter);
    OpenService(service);
    // A plugin whose dependencies are missing must fail to load quietly
    // rather than stop the scan with a system dialog.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    RunRequestLoop(service.input);
    CloseService();
}

void ServeHost(HINSTANCE instance, const CommandLine& commandLine) {
    Service service = {instance,
                       reinterpret_cast<HWND>(static_cast<uintptr_t>(commandLine.ownerWindow)),
                       HandleOrStandard(commandLine.inputHandle, STD_INPUT_HANDLE)};
    HANDLE output = HandleOrStandard(commandLine.outputHandle, STD_OUTPUT_HANDLE);

    if (commandLine.inputHandle == 0) {
        SetOutputHandle(output);
        OpenService(service);
        RunMessageLoop();
        CloseService();
        return;
    }
    TakeOverPipes(service.input, output);
    SetOutputHandle(output);
    ServeOnWatchedThread(ServeRequests, &service);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    InstallCrashFilter();
    CommandLine commandLine = ParseCommandLine(GetCommandLineW());
    SetCrashDumpDirectory(commandLine.dumpDirectory);
    LoadDumpWriter();
    UniqueGdiplusSession gdiplus = StartGdiplus();
    ServeHost(instance, commandLine);
    // Held to the end: a crash from here on waits at the lock until the
    // process has ended, and one that began earlier ends the process itself.
    EnterDumpLock();
    return 0;
}

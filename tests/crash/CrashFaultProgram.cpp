// Sets up the crash state the way the server does at start-up, then faults:
//   crash-fault main|thread|both [dump directory]
// Each thread that is about to fault first writes its thread id and a line
// feed to standard output, where the server's lines go too.
#include <windows.h>
// Needs the base declarations first.
#include <shellapi.h>

#include <cstdio>
#include <cwchar>

#include "channel/OutputChannel.h"
#include "crash/CrashDump.h"
#include "crash/CrashFilter.h"

namespace {

int* volatile faultAddress = nullptr;
HANDLE startSignal = nullptr;

void ReportFaultingThread() {
    char line[16];
    int length = std::snprintf(line, sizeof line, "%lu\n", GetCurrentThreadId());
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, static_cast<DWORD>(length), &written, nullptr);
}

void Fault() {
    *faultAddress = 1;
}

DWORD WINAPI FaultingThread(void*) {
    ReportFaultingThread();
    WaitForSingleObject(startSignal, INFINITE);
    Fault();
    return 0;
}

bool StartFaultingThread() {
    HANDLE thread = CreateThread(nullptr, 0, FaultingThread, nullptr, 0, nullptr);
    if (!thread) return false;
    CloseHandle(thread);
    return true;
}

}  // namespace

int main() {
    InstallCrashFilter();
    SetOutputHandle(GetStdHandle(STD_OUTPUT_HANDLE));

    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments || count < 2) return 2;
    if (count > 2) {
        WideString directory;
        if (!directory.Assign(arguments[2])) return 2;
        SetCrashDumpDirectory(directory);
    }
    LoadDumpWriter();

    const wchar_t* mode = arguments[1];
    startSignal = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!startSignal) return 2;
    if (std::wcscmp(mode, L"main") == 0) {
        ReportFaultingThread();
        Fault();
    } else if (std::wcscmp(mode, L"thread") == 0 || std::wcscmp(mode, L"both") == 0) {
        int threads = std::wcscmp(mode, L"both") == 0 ? 2 : 1;
        for (int i = 0; i < threads; ++i) {
            if (!StartFaultingThread()) return 2;
        }
        SetEvent(startSignal);
        Sleep(INFINITE);
    }
    return 2;
}

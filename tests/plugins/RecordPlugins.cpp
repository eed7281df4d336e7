// Plugins whose records a host must get right: ones that end the scan server
// in the middle of their scan (abort, exit, ExitProcess, closing the server's
// pipes), one whose own thread faults after its report while the next plugin
// is scanned, and the slow good plugin scanned after it. PLUGIN_BEHAVIOUR
// chooses one by name; tests/plugins/README.md says what a scan reports for each.
#include <windows.h>
// After windows.h, which they need.
#include <psapi.h>
#include <shellapi.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "scan/vst2/Vst2.h"

enum class Behaviour {
    Abort,
    ExitZero,
    ExitProcessFive,
    ClosePipes,
    LateThreadFault,
    SlowStart,
};

namespace {

constexpr Behaviour kBehaviour = Behaviour::PLUGIN_BEHAVIOUR;
constexpr int32_t kId = PLUGIN_ID;
constexpr UINT kExitProcessCode = 5;
// Long enough for the late fault to find the next plugin inside its entry point.
constexpr DWORD kSlowStartMilliseconds = 3000;
constexpr DWORD kLateFaultPollMilliseconds = 10;
// Lets the loader finish with the next plugin before the main thread is stopped:
// a thread stopped inside the loader would keep the crash filter from its dump.
constexpr DWORD kLateFaultSettleMilliseconds = 500;

AEffect effect;
HANDLE mainThread = nullptr;

void Fault() {
    volatile int* volatile target = nullptr;
    *target = 1;
}

void WriteText(void* buffer, const char* text) {
    if (buffer != nullptr) strcpy(static_cast<char*>(buffer), text);
}

intptr_t Dispatch(AEffect*, int32_t opcode, int32_t, intptr_t, void* ptr, float) {
    switch (opcode) {
        case effGetEffectName:
            WriteText(ptr, "Record Case");
            return 1;
        case effGetVendorString:
            WriteText(ptr, "Test Vendor");
            return 1;
        case effGetProductString:
            WriteText(ptr, "Record Product");
            return 1;
        case effGetPlugCategory:
            return kPlugCategEffect;
        case effCanDo:
            return -1;
        default:
            return 0;
    }
}

// The pipe ends the server was handed as its first two arguments.
void CloseServerPipes() {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr) return;
    for (int at = 1; at < count && at <= 2; ++at) {
        CloseHandle(
            reinterpret_cast<HANDLE>(static_cast<uintptr_t>(wcstoull(arguments[at], nullptr, 16))));
    }
    LocalFree(arguments);
}

// Another plugin than this one is loaded: the server has gone on to the next request.
bool AnotherPluginIsLoaded() {
    HMODULE modules[1024];
    DWORD bytes = 0;
    if (!EnumProcessModules(GetCurrentProcess(), modules, sizeof modules, &bytes)) return false;
    HMODULE self = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&Fault), &self);
    for (DWORD at = 0; at < bytes / sizeof(HMODULE) && at < 1024; ++at) {
        if (modules[at] != self && GetProcAddress(modules[at], "VSTPluginMain") != nullptr) {
            return true;
        }
    }
    return false;
}

// Faults inside this library while the server scans the next plugin. The main
// thread is stopped first, so that the server cannot answer that request
// while the dump is written.
DWORD WINAPI FaultDuringNextScan(void*) {
    while (!AnotherPluginIsLoaded()) Sleep(kLateFaultPollMilliseconds);
    Sleep(kLateFaultSettleMilliseconds);
    SuspendThread(mainThread);
    Fault();
    return 0;
}

// The library is pinned, so it stays loaded after the server frees it.
void StartLateFault() {
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&Fault), &self);
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &mainThread,
                    THREAD_SUSPEND_RESUME, FALSE, 0);
    HANDLE thread = CreateThread(nullptr, 0, FaultDuringNextScan, nullptr, 0, nullptr);
    if (thread != nullptr) CloseHandle(thread);
}

}  // namespace

extern "C" AEffect* VSTPluginMain(AudioMasterCallback) {
    switch (kBehaviour) {
        case Behaviour::Abort:
            abort();
        case Behaviour::ExitZero:
            exit(0);
        case Behaviour::ExitProcessFive:
            ExitProcess(kExitProcessCode);
        case Behaviour::ClosePipes:
            CloseServerPipes();
            break;
        case Behaviour::LateThreadFault:
            StartLateFault();
            break;
        case Behaviour::SlowStart:
            Sleep(kSlowStartMilliseconds);
            break;
    }
    effect.magic = kEffectMagic;
    effect.dispatcher = Dispatch;
    effect.numInputs = 2;
    effect.numOutputs = 2;
    effect.uniqueID = kId;
    return &effect;
}

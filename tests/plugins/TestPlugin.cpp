// One VST 2 plugin for the scan server's tests, built many times over: compile
// definitions choose its identity, its answers and the way it misbehaves.
// tests/plugins/README.md lists every build and what a scan must report for it.
#include <windows.h>
// Need the base declarations first.
#include <io.h>
#include <psapi.h>
#include <shellapi.h>

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <stdexcept>

#include "scan/vst2/Vst2.h"

// Chosen by the PLUGIN_MISCHIEF, PLUGIN_OWN_FILTER, PLUGIN_FAULT_SIGNAL,
// PLUGIN_WANT_MIDI, PLUGIN_TEXTS and PLUGIN_SHELL definitions by one of these names.
enum class Mischief {
    None,
    CrashInDllMain,
    CrashInEntryPoint,
    CrashInDispatcher,
    CrashInThread,
    HangInEntryPoint,
    // Spends about 20 ms of its thread's processor time in the entry point.
    BusyInEntryPoint,
    // Those below misbehave in the effGetPlugCategory call, after a trace
    // naming the thread they misbehave on (as does CrashInDispatcher with a
    // PLUGIN_FAULT_SIGNAL other than Untouched).
    ThrowInDispatcher,
    AbortInDispatcher,
    OverflowStackInDispatcher,
    RaiseStackOverflowInDispatcher,
    CrashInThreadWhileScanGoesOn,
    // Traces the thread it is on and faults in the effGetVendorString call.
    CrashInVendorString,
    // In effGetPlugCategory: a thread of its own takes the loader lock and
    // keeps it; then the plugin traces and faults.
    HoldLoaderLockThenCrash,
    // Traces a query of control characters and forged lines in the entry point.
    ForgeLines,
    // Prints to standard output and error and reads standard input in the entry point.
    UseStandardHandles,
};
// Where the plugin sets its own unhandled-exception filter; InThread: a
// thread of its own sets it every millisecond from the entry point on.
enum class OwnFilter { None, InDllMain, InEntryPoint, InEffectName, InThread };
// What that filter does (PLUGIN_FILTER_ANSWER), and how the plugin reaches
// SetUnhandledExceptionFilter (PLUGIN_FILTER_ENTRY).
enum class FilterAnswer { ExitsWith42, ExitsZero, Handled, ContinueExecution };
enum class FilterEntry { ImportTable, KernelBaseLookup };
// What the plugin makes of SIGSEGV in the shared C runtime, in its entry point.
enum class FaultSignal { Untouched, Ignored, ExitsCleanly };
enum class WantMidi { Never, InEntryPoint, AtVendorVersion };
enum class Texts { Given, Special, Unterminated, NotWritten, FromHost, ProcessUsage };
enum class Shell { None, Duplicate, Endless, Empty, Unnamed, ControlCharacters };

#ifndef PLUGIN_ID
#define PLUGIN_ID 0
#endif
#ifndef PLUGIN_NAME
#define PLUGIN_NAME ""
#endif
#ifndef PLUGIN_NAME_VIA_MAIN
#define PLUGIN_NAME_VIA_MAIN PLUGIN_NAME
#endif
#ifndef PLUGIN_VENDOR
#define PLUGIN_VENDOR ""
#endif
#ifndef PLUGIN_PRODUCT
#define PLUGIN_PRODUCT ""
#endif
#ifndef PLUGIN_TEXTS
#define PLUGIN_TEXTS Given
#endif
#ifndef PLUGIN_VENDOR_VERSION
#define PLUGIN_VENDOR_VERSION 0
#endif
#ifndef PLUGIN_INPUTS
#define PLUGIN_INPUTS 0
#endif
#ifndef PLUGIN_OUTPUTS
#define PLUGIN_OUTPUTS 2
#endif
#ifndef PLUGIN_FLAGS
#define PLUGIN_FLAGS 0
#endif
#ifndef PLUGIN_CATEGORY
#define PLUGIN_CATEGORY kPlugCategEffect
#endif
#ifndef PLUGIN_MAGIC
#define PLUGIN_MAGIC kEffectMagic
#endif
#ifndef PLUGIN_RETURNS_NULL
#define PLUGIN_RETURNS_NULL 0
#endif
#ifndef PLUGIN_CAN_RECEIVE_MIDI_EVENT
#define PLUGIN_CAN_RECEIVE_MIDI_EVENT -1
#endif
#ifndef PLUGIN_CAN_RECEIVE_EVENTS
#define PLUGIN_CAN_RECEIVE_EVENTS -1
#endif
#ifndef PLUGIN_CAN_SEND_MIDI_EVENT
#define PLUGIN_CAN_SEND_MIDI_EVENT -1
#endif
#ifndef PLUGIN_CAN_SEND_EVENTS
#define PLUGIN_CAN_SEND_EVENTS -1
#endif
#ifndef PLUGIN_WANT_MIDI
#define PLUGIN_WANT_MIDI Never
#endif
#ifndef PLUGIN_SHELL
#define PLUGIN_SHELL None
#endif
#ifndef PLUGIN_TRACE
#define PLUGIN_TRACE 0
#endif
#ifndef PLUGIN_MISCHIEF
#define PLUGIN_MISCHIEF None
#endif
#ifndef PLUGIN_OWN_FILTER
#define PLUGIN_OWN_FILTER None
#endif
#ifndef PLUGIN_FILTER_ANSWER
#define PLUGIN_FILTER_ANSWER ExitsWith42
#endif
#ifndef PLUGIN_FILTER_ENTRY
#define PLUGIN_FILTER_ENTRY ImportTable
#endif
#ifndef PLUGIN_FAULT_SIGNAL
#define PLUGIN_FAULT_SIGNAL Untouched
#endif

namespace {

// The server hands 512-byte buffers for every text; texts that fill one whole
// buffer leave no room for a terminating zero.
constexpr size_t kTextBufferSize = 512;
// Exit code of the plugin's own unhandled-exception filter, so that a test can
// tell it apart from the server's filter (exit code 9).
constexpr UINT kOwnFilterExitCode = 42;

constexpr int32_t kId = PLUGIN_ID;
constexpr char kName[] = PLUGIN_NAME;
constexpr char kNameViaMain[] = PLUGIN_NAME_VIA_MAIN;
constexpr char kVendor[] = PLUGIN_VENDOR;
constexpr char kProduct[] = PLUGIN_PRODUCT;
constexpr Texts kTexts = Texts::PLUGIN_TEXTS;
constexpr int32_t kVendorVersion = PLUGIN_VENDOR_VERSION;
constexpr int32_t kNumInputs = PLUGIN_INPUTS;
constexpr int32_t kNumOutputs = PLUGIN_OUTPUTS;
constexpr int32_t kFlags = PLUGIN_FLAGS;
constexpr int32_t kCategory = PLUGIN_CATEGORY;
constexpr int32_t kMagic = static_cast<int32_t>(PLUGIN_MAGIC);
constexpr bool kReturnsNull = PLUGIN_RETURNS_NULL != 0;
// canDo answers are pointer-sized; their upper halves matter to some cases.
constexpr intptr_t kCanReceiveMidiEvent =
    static_cast<intptr_t>(static_cast<uint64_t>(PLUGIN_CAN_RECEIVE_MIDI_EVENT));
constexpr intptr_t kCanReceiveEvents =
    static_cast<intptr_t>(static_cast<uint64_t>(PLUGIN_CAN_RECEIVE_EVENTS));
constexpr intptr_t kCanSendMidiEvent =
    static_cast<intptr_t>(static_cast<uint64_t>(PLUGIN_CAN_SEND_MIDI_EVENT));
constexpr intptr_t kCanSendEvents =
    static_cast<intptr_t>(static_cast<uint64_t>(PLUGIN_CAN_SEND_EVENTS));
constexpr WantMidi kWantMidi = WantMidi::PLUGIN_WANT_MIDI;
constexpr Shell kShell = Shell::PLUGIN_SHELL;
constexpr bool kTrace = PLUGIN_TRACE != 0;
constexpr Mischief kMischief = Mischief::PLUGIN_MISCHIEF;
constexpr OwnFilter kOwnFilter = OwnFilter::PLUGIN_OWN_FILTER;
constexpr FilterAnswer kFilterAnswer = FilterAnswer::PLUGIN_FILTER_ANSWER;
constexpr FilterEntry kFilterEntry = FilterEntry::PLUGIN_FILTER_ENTRY;
constexpr FaultSignal kFaultSignal = FaultSignal::PLUGIN_FAULT_SIGNAL;

static_assert(sizeof(kName) <= kTextBufferSize && sizeof(kNameViaMain) <= kTextBufferSize &&
                  sizeof(kVendor) <= kTextBufferSize && sizeof(kProduct) <= kTextBufferSize,
              "texts must fit the server's buffers");

// JSON-special characters, control characters and bytes above 0x7E, which the
// server widens byte by byte (so the UTF-8 pair C3 A9 becomes two characters).
constexpr char kSpecialName[] = "Quote \" Backslash \\ Slash / Tab \t End";
constexpr char kSpecialVendor[] = "Caf\xE9 \x01\x1F\x7F ~";
constexpr char kSpecialProduct[] = "\xC3\xA9 \b\f\n\r";

// Each would end the server's line and start forged ones if it were echoed as it is.
constexpr char kForgedQuery[] = "x'\nready:\ninfo:forged\r\n\t\x01\x1B\x7F\\n end";

// Filled into the whole 512-byte buffer, without a terminating zero.
constexpr char kUnterminatedVendorPattern[] = "0123456789abcdef";
constexpr char kUnterminatedProductPattern[] = "ABCDEFGHIJKLMNOP";

struct SubPlugin {
    int32_t id;
    const char* name;
    int32_t numInputs;
    int32_t numOutputs;
    int32_t flags;
    int32_t category;
};

constexpr SubPlugin kDuplicateListing[] = {
    {5, "Shell Five", 2, 2, 0, kPlugCategEffect},
    {7, "Shell Seven", 0, 2, effFlagsIsSynth, kPlugCategSynth},
    {5, "Shell Five Again", 2, 2, 0, kPlugCategEffect},
};
constexpr SubPlugin kEndlessListing[] = {
    {1, "Loop One", 2, 2, 0, kPlugCategEffect},
    {2, "Loop Two", 2, 2, 0, kPlugCategEffect},
    {3, "Loop Three", 2, 2, 0, kPlugCategEffect},
};
constexpr SubPlugin kControlCharacterListing[] = {
    {0x21, "Line\nready:", 2, 2, 0, kPlugCategEffect},
    {0x22, "Tab\tEsc\x1B Del\x7F CR\r", 2, 2, 0, kPlugCategEffect},
};
// The top bit set: the host must hand this id back sign-extended.
constexpr SubPlugin kUnnamedListing[] = {
    {static_cast<int32_t>(0x80000001u), "High Bit", 1, 1, 0, kPlugCategEffect},
    {0x11, "Low Bits", 1, 1, 0, kPlugCategEffect},
};

struct Listing {
    const SubPlugin* entries;
    size_t count;
    bool endless;
    bool writesNames;
};

constexpr Listing ListingOf(Shell shell) {
    switch (shell) {
        case Shell::Duplicate:
            return {kDuplicateListing, std::size(kDuplicateListing), false, true};
        case Shell::Endless:
            return {kEndlessListing, std::size(kEndlessListing), true, true};
        case Shell::Unnamed:
            return {kUnnamedListing, std::size(kUnnamedListing), false, false};
        case Shell::ControlCharacters:
            return {kControlCharacterListing, std::size(kControlCharacterListing), false, true};
        case Shell::Empty:
        case Shell::None:
            break;
    }
    return {nullptr, 0, false, true};
}

constexpr Listing kListing = ListingOf(kShell);

// What the host told a plugin built with Texts::FromHost.
struct HostAnswers {
    char vendor[64];
    char product[64];
    char summary[kTextBufferSize];
    intptr_t version;
    intptr_t vendorVersion;
    intptr_t sampleRate;
    intptr_t blockSize;
    intptr_t processLevel;
};

struct Plugin {
    // First member, so that the dispatcher finds its plugin from the record.
    AEffect effect;
    AudioMasterCallback host;
    const char* name;
    int32_t category;
    size_t listed;
    HostAnswers answers;
    // What a read of standard input gave, for UseStandardHandles.
    char standardInput[32];
};

Plugin* PluginOf(AEffect* effect) {
    return reinterpret_cast<Plugin*>(effect);
}

void Fault() {
    volatile int* volatile target = nullptr;
    *target = 1;
}

constexpr ULONGLONG kBusyHundredNanoseconds = 200000;

ULONGLONG ThreadProcessorTime() {
    FILETIME creation, exit, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &creation, &exit, &kernel, &user)) return 0;
    return (static_cast<ULONGLONG>(kernel.dwHighDateTime) << 32 | kernel.dwLowDateTime) +
           (static_cast<ULONGLONG>(user.dwHighDateTime) << 32 | user.dwLowDateTime);
}

// Busy until the calling thread has spent `amount` more processor time, as
// a plugin that computes its tables at start-up does. Each reading of the
// time is a request to Wine's server there, so it is read about once a
// millisecond.
void SpendProcessorTime(ULONGLONG amount) {
    const ULONGLONG until = ThreadProcessorTime() + amount;
    volatile unsigned counter = 0;
    while (ThreadProcessorTime() < until) {
        for (int step = 0; step < 500000; ++step) counter = counter + 1;
    }
}

LONG WINAPI OwnUnhandledExceptionFilter(EXCEPTION_POINTERS*) {
    switch (kFilterAnswer) {
        case FilterAnswer::ExitsZero:
            ExitProcess(0);
        case FilterAnswer::Handled:
            return EXCEPTION_EXECUTE_HANDLER;
        case FilterAnswer::ContinueExecution:
            return EXCEPTION_CONTINUE_EXECUTION;
        case FilterAnswer::ExitsWith42:
            break;
    }
    TerminateProcess(GetCurrentProcess(), kOwnFilterExitCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

using SetFilterFunction = decltype(&SetUnhandledExceptionFilter);

SetFilterFunction LookUpSetFilter() {
    HMODULE kernelBase = GetModuleHandleW(L"kernelbase.dll");
    FARPROC found =
        kernelBase ? GetProcAddress(kernelBase, "SetUnhandledExceptionFilter") : nullptr;
    return found ? reinterpret_cast<SetFilterFunction>(reinterpret_cast<void*>(found))
                 : SetUnhandledExceptionFilter;
}

void SetOwnFilter() {
    SetFilterFunction setFilter = kFilterEntry == FilterEntry::KernelBaseLookup
                                      ? LookUpSetFilter()
                                      : SetUnhandledExceptionFilter;
    setFilter(OwnUnhandledExceptionFilter);
}

// Set once the filter thread has set its filter this often.
constexpr int kFilterSettingsBeforeFault = 20;
HANDLE filterSetOften = nullptr;

DWORD WINAPI SetOwnFilterEveryMillisecond(void*) {
    for (int settings = 1;; ++settings) {
        SetOwnFilter();
        if (settings == kFilterSettingsBeforeFault) SetEvent(filterSetOften);
        Sleep(1);
    }
}

void StartFilterThread() {
    filterSetOften = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, SetOwnFilterEveryMillisecond, nullptr, 0, nullptr);
    if (thread != nullptr) CloseHandle(thread);
}

using LdrLockLoaderLockFunction = LONG(NTAPI*)(ULONG flags, ULONG* disposition, ULONG_PTR* cookie);

DWORD WINAPI HoldLoaderLock(void* held) {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    FARPROC found = ntdll ? GetProcAddress(ntdll, "LdrLockLoaderLock") : nullptr;
    ULONG_PTR cookie = 0;
    if (found)
        reinterpret_cast<LdrLockLoaderLockFunction>(reinterpret_cast<void*>(found))(0, nullptr,
                                                                                    &cookie);
    SetEvent(static_cast<HANDLE>(held));
    Sleep(INFINITE);
    return 0;
}

// Returns once a thread of the plugin's own holds the loader lock for good.
void HoldLoaderLockOnOwnThread() {
    HANDLE held = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, HoldLoaderLock, held, 0, nullptr);
    if (thread != nullptr) {
        WaitForSingleObject(held, INFINITE);
        CloseHandle(thread);
    }
}

DWORD WINAPI FaultingThread(void*) {
    Fault();
    return 0;
}

void ExitCleanly(int) {
    exit(0);
}

void TakeFaultSignal() {
    if (kFaultSignal == FaultSignal::Ignored) signal(SIGSEGV, SIG_IGN);
    if (kFaultSignal == FaultSignal::ExitsCleanly) signal(SIGSEGV, ExitCleanly);
}

// Never true, but the compiler cannot know: the recursion has no end.
volatile bool recursionEnds = false;

int Recurse(int depth) {
    volatile char frame[1024];
    frame[0] = static_cast<char>(depth);
    if (recursionEnds) return frame[0];
    return Recurse(depth + 1) + frame[0];
}

// What Windows leaves a thread when it raises a stack overflow: a few pages,
// too few to load DbgHelp and write a dump.
constexpr ULONG_PTR kStackLeftAtOverflow = 24 * 1024;

// Recurses until little stack is left, then raises the overflow as Windows
// would (Wine ends such a thread instead).
int RaiseStackOverflowNearItsEnd(ULONG_PTR stackEnd) {
    volatile char frame[1024];
    frame[0] = 1;
    if (reinterpret_cast<ULONG_PTR>(&frame[0]) - stackEnd > kStackLeftAtOverflow) {
        return RaiseStackOverflowNearItsEnd(stackEnd) + frame[0];
    }
    RaiseException(EXCEPTION_STACK_OVERFLOW, 0, 0, nullptr);
    return frame[0];
}

void FaultInOwnThread() {
    HANDLE thread = CreateThread(nullptr, 0, FaultingThread, nullptr, 0, nullptr);
    if (thread != nullptr) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
}

// Traces reach the server's log through the one host call that logs a text.
void Trace(AudioMasterCallback host, AEffect* effect, const char* text) {
    host(effect, audioMasterCanDo, 0, 0, const_cast<char*>(text), 0.0f);
}

// Names the thread about to misbehave, for a test to find it in the dump.
void TraceThread(AudioMasterCallback host) {
    char line[64];
    snprintf(line, sizeof line, "misbehaving on thread %lu", GetCurrentThreadId());
    Trace(host, nullptr, line);
}

DWORD WINAPI TracingFaultingThread(void* parameter) {
    TraceThread(reinterpret_cast<AudioMasterCallback>(parameter));
    Fault();
    return 0;
}

// The dump directory is the server's fourth argument.
bool ServerDumpDirectory(wchar_t* directory, size_t capacity) {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr) return false;
    bool found = count > 4 && wcslen(arguments[4]) < capacity;
    if (found) wcscpy(directory, arguments[4]);
    LocalFree(arguments);
    return found;
}

bool DumpFileExists(const wchar_t* directory) {
    wchar_t pattern[MAX_PATH + 16];
    swprintf(pattern, std::size(pattern), L"%ls\\*.mdmp", directory);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return true;
}

// Faults on a thread of its own and returns once the server has begun the
// dump (its file exists), so that the scan goes on while the dump is written.
void FaultInOwnThreadAndGoOn(AudioMasterCallback host) {
    wchar_t directory[MAX_PATH];
    if (!ServerDumpDirectory(directory, std::size(directory))) return;
    HANDLE changes = FindFirstChangeNotificationW(directory, FALSE, FILE_NOTIFY_CHANGE_FILE_NAME);
    if (changes == INVALID_HANDLE_VALUE) return;
    HANDLE thread =
        CreateThread(nullptr, 0, TracingFaultingThread, reinterpret_cast<void*>(host), 0, nullptr);
    if (thread != nullptr) {
        while (!DumpFileExists(directory)) {
            WaitForSingleObject(changes, INFINITE);
            FindNextChangeNotification(changes);
        }
        CloseHandle(thread);
    }
    FindCloseChangeNotification(changes);
}

void Misbehave(AudioMasterCallback host) {
    switch (kMischief) {
        case Mischief::CrashInDispatcher:
            if (kOwnFilter == OwnFilter::InThread) WaitForSingleObject(filterSetOften, INFINITE);
            if (kFaultSignal != FaultSignal::Untouched || kOwnFilter == OwnFilter::InThread) {
                TraceThread(host);
            }
            Fault();
            break;
        case Mischief::CrashInThread:
            FaultInOwnThread();
            break;
        case Mischief::ThrowInDispatcher:
            TraceThread(host);
            throw std::runtime_error("thrown out of the dispatcher");
        case Mischief::AbortInDispatcher:
            TraceThread(host);
            abort();
        case Mischief::OverflowStackInDispatcher:
            TraceThread(host);
            Recurse(0);
            break;
        case Mischief::RaiseStackOverflowInDispatcher: {
            TraceThread(host);
            ULONG_PTR stackEnd = 0;
            ULONG_PTR stackStart = 0;
            GetCurrentThreadStackLimits(&stackEnd, &stackStart);
            RaiseStackOverflowNearItsEnd(stackEnd);
            break;
        }
        case Mischief::CrashInThreadWhileScanGoesOn:
            FaultInOwnThreadAndGoOn(host);
            break;
        case Mischief::HoldLoaderLockThenCrash:
            HoldLoaderLockOnOwnThread();
            TraceThread(host);
            Fault();
            break;
        default:
            break;
    }
}

// Everything a plugin might print lands on the null device, and standard input is empty.
void UseStandardHandles(Plugin& plugin) {
    // Reading a pipe would wait for the host's next request, or take it.
    HANDLE runtimeInput = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stdin)));
    bool inputIsPipe = GetFileType(GetStdHandle(STD_INPUT_HANDLE)) == FILE_TYPE_PIPE ||
                       GetFileType(runtimeInput) == FILE_TYPE_PIPE;
    const char* input = inputIsPipe ? "a pipe" : fgetc(stdin) == EOF ? "empty" : "read";
    snprintf(plugin.standardInput, sizeof plugin.standardInput, "standard input %s", input);
    printf("ready:\n");
    fflush(stdout);
    fprintf(stderr, "error:printed to standard error\n");
    fflush(stderr);
    static const char kPrompt[] = "ready:\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), kPrompt, sizeof kPrompt - 1, &written, nullptr);
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), kPrompt, sizeof kPrompt - 1, &written, nullptr);
}

void TraceDispatch(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                   float opt) {
    char line[kTextBufferSize + 128];
    int length = snprintf(line, sizeof line, "dispatcher opcode=%d index=%d value=%lld opt=%g",
                          static_cast<int>(opcode), static_cast<int>(index),
                          static_cast<long long>(value), static_cast<double>(opt));
    const char* text = static_cast<const char*>(ptr);
    if (ptr == nullptr) {
        snprintf(line + length, sizeof line - length, " ptr=null");
    } else if (opcode == effCanDo) {
        snprintf(line + length, sizeof line - length, " query=%s", text);
    } else {
        snprintf(line + length, sizeof line - length, " buffer=%s",
                 text[0] == 0 ? "empty" : "filled");
    }
    Trace(PluginOf(effect)->host, effect, line);
}

void WriteText(void* buffer, const char* text) {
    if (buffer != nullptr) strcpy(static_cast<char*>(buffer), text);
}

void FillWithPattern(void* buffer, const char* pattern) {
    if (buffer == nullptr) return;
    char* bytes = static_cast<char*>(buffer);
    size_t patternLength = strlen(pattern);
    for (size_t i = 0; i < kTextBufferSize; ++i) bytes[i] = pattern[i % patternLength];
}

void WriteName(const Plugin& plugin, void* buffer) {
    if (kTexts == Texts::Special) {
        WriteText(buffer, kSpecialName);
    } else if (kTexts != Texts::NotWritten) {
        WriteText(buffer, plugin.name);
    }
}

// Handles are small multiples of four; asking each value whether it is open
// counts them where the process's handle count is not reported.
unsigned long CountOpenHandles() {
    unsigned long open = 0;
    DWORD flags = 0;
    for (uintptr_t value = 4; value < 0x10000; value += 4) {
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++open;
    }
    return open;
}

// The scanning process's own open handles and private bytes, measured from
// inside it, so a host can watch them across many requests.
void WriteProcessUsage(void* buffer) {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    if (buffer == nullptr) return;
    snprintf(static_cast<char*>(buffer), kTextBufferSize, "handles=%lu private=%llu",
             CountOpenHandles(), static_cast<unsigned long long>(counters.PagefileUsage));
}

void WriteVendor(const Plugin& plugin, void* buffer) {
    switch (kTexts) {
        case Texts::Given:
            WriteText(buffer,
                      kMischief == Mischief::UseStandardHandles ? plugin.standardInput : kVendor);
            break;
        case Texts::Special:
            WriteText(buffer, kSpecialVendor);
            break;
        case Texts::Unterminated:
            FillWithPattern(buffer, kUnterminatedVendorPattern);
            break;
        case Texts::FromHost:
            WriteText(buffer, plugin.answers.summary);
            break;
        case Texts::ProcessUsage:
            WriteProcessUsage(buffer);
            break;
        case Texts::NotWritten:
            break;
    }
}

void WriteProduct(const Plugin& plugin, void* buffer) {
    switch (kTexts) {
        case Texts::Given:
            WriteText(buffer, kProduct);
            break;
        case Texts::Special:
            WriteText(buffer, kSpecialProduct);
            break;
        case Texts::Unterminated:
            FillWithPattern(buffer, kUnterminatedProductPattern);
            break;
        case Texts::FromHost:
            WriteText(buffer, plugin.answers.product);
            break;
        case Texts::ProcessUsage:
        case Texts::NotWritten:
            break;
    }
}

intptr_t AnswerCanDo(const void* ptr) {
    if (ptr == nullptr) return -1;
    const char* query = static_cast<const char*>(ptr);
    if (strcmp(query, "receiveVstMidiEvent") == 0) return kCanReceiveMidiEvent;
    if (strcmp(query, "receiveVstEvents") == 0) return kCanReceiveEvents;
    if (strcmp(query, "sendVstMidiEvent") == 0) return kCanSendMidiEvent;
    if (strcmp(query, "sendVstEvents") == 0) return kCanSendEvents;
    return -1;
}

intptr_t ListNextSubPlugin(Plugin& plugin, void* buffer) {
    if (plugin.listed == kListing.count) {
        if (!kListing.endless) return 0;
        plugin.listed = 0;
    }
    const SubPlugin& entry = kListing.entries[plugin.listed++];
    if (kListing.writesNames) WriteText(buffer, entry.name);
    return entry.id;
}

intptr_t Dispatch(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                  float opt) {
    if (kTrace) TraceDispatch(effect, opcode, index, value, ptr, opt);
    Plugin& plugin = *PluginOf(effect);
    switch (opcode) {
        case effGetEffectName:
            if (kOwnFilter == OwnFilter::InEffectName) SetOwnFilter();
            WriteName(plugin, ptr);
            return kTexts == Texts::NotWritten ? 0 : 1;
        case effGetVendorString:
            if (kMischief == Mischief::CrashInVendorString) {
                TraceThread(plugin.host);
                Fault();
            }
            WriteVendor(plugin, ptr);
            return kTexts == Texts::NotWritten ? 0 : 1;
        case effGetProductString:
            WriteProduct(plugin, ptr);
            return kTexts == Texts::NotWritten ? 0 : 1;
        case effGetPlugCategory:
            Misbehave(plugin.host);
            return plugin.category;
        case effCanDo:
            return AnswerCanDo(ptr);
        case effGetVendorVersion:
            if (kWantMidi == WantMidi::AtVendorVersion) {
                plugin.host(effect, audioMasterWantMidi, 0, 1, nullptr, 0.0f);
            }
            return kTexts == Texts::FromHost ? plugin.answers.version : kVendorVersion;
        case effShellGetNextPlugin:
            return ListNextSubPlugin(plugin, ptr);
        case effClose:
            delete &plugin;
            return 1;
        default:
            return 0;
    }
}

struct ThreadQuery {
    AudioMasterCallback host;
    int32_t opcode;
    intptr_t answer;
};

DWORD WINAPI RunThreadQuery(void* parameter) {
    ThreadQuery& query = *static_cast<ThreadQuery*>(parameter);
    query.answer = query.host(nullptr, query.opcode, 0, 0, nullptr, 0.0f);
    return 0;
}

intptr_t AskFromOwnThread(AudioMasterCallback host, int32_t opcode) {
    ThreadQuery query = {host, opcode, -1};
    HANDLE thread = CreateThread(nullptr, 0, RunThreadQuery, &query, 0, nullptr);
    if (thread == nullptr) return -1;
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    return query.answer;
}

// The host writes its text and a zero; the bytes after the zero must stay as they were.
const char* TailState(const char* buffer, size_t size) {
    size_t length = strnlen(buffer, size);
    if (length == size) return "unterminated";
    for (size_t i = length + 1; i < size; ++i) {
        if (buffer[i] != '#') return "overwritten";
    }
    return "untouched";
}

// Asks the host what plugins commonly ask while they start (one question from
// a thread of the plugin's own) and keeps the answers where the report shows them.
void AskHost(AudioMasterCallback host, HostAnswers& answers) {
    // Opcodes the host has no answer for: one without a name, audioMasterGetTime,
    // audioMasterIOChanged, and two outside the named range.
    constexpr int32_t kUnanswered[] = {5, audioMasterGetTime, 13, 100, -1};
    constexpr const char* kQueries[] = {"sendVstEvents", "SENDVSTEVENTS", "ShellCategory",
                                        "notACapability", ""};
    answers.version = host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f);
    intptr_t currentId = host(nullptr, audioMasterCurrentId, 0, 0, nullptr, 0.0f);
    intptr_t canDo[std::size(kQueries)];
    for (size_t i = 0; i < std::size(kQueries); ++i) {
        canDo[i] = host(nullptr, audioMasterCanDo, 0, 0, const_cast<char*>(kQueries[i]), 0.0f);
    }
    memset(answers.vendor, '#', sizeof answers.vendor);
    memset(answers.product, '#', sizeof answers.product);
    host(nullptr, audioMasterGetVendorString, 0, 0, answers.vendor, 0.0f);
    host(nullptr, audioMasterGetProductString, 0, 0, answers.product, 0.0f);
    answers.vendorVersion = host(nullptr, audioMasterGetVendorVersion, 0, 0, nullptr, 0.0f);
    answers.sampleRate = AskFromOwnThread(host, audioMasterGetSampleRate);
    answers.blockSize = host(nullptr, audioMasterGetBlockSize, 0, 0, nullptr, 0.0f);
    answers.processLevel = host(nullptr, audioMasterGetCurrentProcessLevel, 0, 0, nullptr, 0.0f);
    intptr_t needIdle = host(nullptr, audioMasterNeedIdle, 0, 0, nullptr, 0.0f);
    intptr_t automate = host(nullptr, audioMasterAutomate, 0, 0, nullptr, 0.0f);
    intptr_t unanswered[std::size(kUnanswered)];
    for (size_t i = 0; i < std::size(kUnanswered); ++i) {
        unanswered[i] = host(nullptr, kUnanswered[i], 0, 0, nullptr, 0.0f);
    }
    snprintf(answers.summary, sizeof answers.summary,
             "currentId=%lld canDo=%lld,%lld,%lld,%lld,%lld needIdle=%lld automate=%lld "
             "unanswered=%lld,%lld,%lld,%lld,%lld vendorTail=%s productTail=%s",
             static_cast<long long>(currentId), static_cast<long long>(canDo[0]),
             static_cast<long long>(canDo[1]), static_cast<long long>(canDo[2]),
             static_cast<long long>(canDo[3]), static_cast<long long>(canDo[4]),
             static_cast<long long>(needIdle), static_cast<long long>(automate),
             static_cast<long long>(unanswered[0]), static_cast<long long>(unanswered[1]),
             static_cast<long long>(unanswered[2]), static_cast<long long>(unanswered[3]),
             static_cast<long long>(unanswered[4]),
             TailState(answers.vendor, sizeof answers.vendor),
             TailState(answers.product, sizeof answers.product));
}

const SubPlugin* FindSubPlugin(intptr_t id) {
    for (size_t i = 0; i < kListing.count; ++i) {
        // Compared at full width: the host answers with the id sign-extended.
        if (static_cast<intptr_t>(kListing.entries[i].id) == id) return &kListing.entries[i];
    }
    return nullptr;
}

Plugin* NewPlugin(AudioMasterCallback host, const char* name) {
    Plugin* plugin = new Plugin{};
    plugin->effect.magic = kMagic;
    plugin->effect.dispatcher = Dispatch;
    plugin->effect.numInputs = kNumInputs;
    plugin->effect.numOutputs = kNumOutputs;
    plugin->effect.flags = kFlags;
    plugin->effect.uniqueID = kId;
    plugin->host = host;
    plugin->name = name;
    plugin->category = kCategory;
    return plugin;
}

// A shell presents the sub-plugin the host names, or itself for id 0.
AEffect* CreateSubPlugin(AudioMasterCallback host, intptr_t id) {
    const SubPlugin* sub = FindSubPlugin(id);
    if (sub == nullptr) return nullptr;
    Plugin* plugin = NewPlugin(host, sub->name);
    plugin->effect.numInputs = sub->numInputs;
    plugin->effect.numOutputs = sub->numOutputs;
    plugin->effect.flags = sub->flags;
    plugin->effect.uniqueID = sub->id;
    plugin->category = sub->category;
    return &plugin->effect;
}

AEffect* CreatePlugin(AudioMasterCallback host, const char* entryName, const char* name) {
    if (kTrace) {
        char line[64];
        snprintf(line, sizeof line, "entry %s", entryName);
        Trace(host, nullptr, line);
    }
    if (kMischief == Mischief::ForgeLines) Trace(host, nullptr, kForgedQuery);
    if (kOwnFilter == OwnFilter::InEntryPoint) SetOwnFilter();
    if (kOwnFilter == OwnFilter::InThread) StartFilterThread();
    TakeFaultSignal();
    if (kMischief == Mischief::CrashInEntryPoint) Fault();
    if (kMischief == Mischief::HangInEntryPoint) Sleep(INFINITE);
    if (kMischief == Mischief::BusyInEntryPoint) SpendProcessorTime(kBusyHundredNanoseconds);
    if (kWantMidi == WantMidi::InEntryPoint) {
        host(nullptr, audioMasterWantMidi, 0, 1, nullptr, 0.0f);
    }
    if (kReturnsNull) return nullptr;
    if (kShell != Shell::None) {
        intptr_t id = host(nullptr, audioMasterCurrentId, 0, 0, nullptr, 0.0f);
        if (id != 0) return CreateSubPlugin(host, id);
    }
    Plugin* plugin = NewPlugin(host, name);
    if (kMischief == Mischief::UseStandardHandles) UseStandardHandles(*plugin);
    if (kTexts == Texts::FromHost) {
        HostAnswers& answers = plugin->answers;
        AskHost(host, answers);
        plugin->name = answers.vendor;
        plugin->effect.uniqueID = static_cast<int32_t>(answers.sampleRate);
        plugin->effect.numInputs = static_cast<int32_t>(answers.blockSize);
        plugin->effect.numOutputs = static_cast<int32_t>(answers.vendorVersion);
        plugin->category = static_cast<int32_t>(answers.processLevel);
    }
    return &plugin->effect;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        if (kOwnFilter == OwnFilter::InDllMain) SetOwnFilter();
        if (kMischief == Mischief::CrashInDllMain) Fault();
    }
    return TRUE;
}

extern "C" AEffect* VSTPluginMain(AudioMasterCallback host) {
    return CreatePlugin(host, "VSTPluginMain", kName);
}

// Exported as "main" by the .def files that want it: C++ reserves the name.
extern "C" AEffect* EntryMain(AudioMasterCallback host) {
    return CreatePlugin(host, "main", kNameViaMain);
}

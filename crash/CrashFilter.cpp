#include "crash/CrashFilter.h"

#include <dbghelp.h>

#include <atomic>
#include <cwchar>

#include "crash/AbortHandler.h"
#include "platform/KernelHandles.h"
#include "protocol/Protocol.h"

namespace {

CRITICAL_SECTION dumpLock;
// Tells a watching thread whether the lock was left held by a thread that ended.
std::atomic<DWORD> dumpLockOwner{0};
WideString dumpDirectory;
WideString dumpNamePrefix;

std::atomic<HANDLE> dumpHandOffEvent{nullptr};
EXCEPTION_POINTERS* handedOffException = nullptr;
DWORD handedOffThreadId = 0;

// The longest path the file system calls accept. The name is formatted into
// static storage because the filter may run after a fault inside the heap
// (a plugin corrupting it, or faulting while another thread holds its lock),
// where allocating could fault again or never return.
constexpr size_t kDumpFileNameCapacity = 32768;
wchar_t dumpFileName[kDumpFileNameCapacity];

using MiniDumpWriteDumpFunction = decltype(&MiniDumpWriteDump);

// DbgHelp is loaded only here, once a crash has happened, and never freed:
// the process ends right after the dump.
MiniDumpWriteDumpFunction LookUpMiniDumpWriteDump() {
    HMODULE dbgHelp = LoadLibraryW(L"DbgHelp.dll");
    if (!dbgHelp) return nullptr;
    FARPROC function = GetProcAddress(dbgHelp, "MiniDumpWriteDump");
    return reinterpret_cast<MiniDumpWriteDumpFunction>(reinterpret_cast<void*>(function));
}

bool HasDumpTarget() {
    const wchar_t* directory = dumpDirectory.Chars();
    return directory && directory[0] && !dumpNamePrefix.IsNull();
}

void EndProcess() {
    TerminateProcess(GetCurrentProcess(), protocol::kCrashExitCode);
}

// False when the name would not fit even the largest path; nothing is cut.
[[nodiscard]] bool FormatDumpFileName(const SYSTEMTIME& time) {
    int folderLength =
        _snwprintf(dumpFileName, kDumpFileNameCapacity, L"%s\\", dumpDirectory.Chars());
    if (folderLength < 0 || static_cast<size_t>(folderLength) >= kDumpFileNameCapacity) {
        return false;
    }
    const size_t left = kDumpFileNameCapacity - static_cast<size_t>(folderLength);
    int nameLength = _snwprintf(dumpFileName + folderLength, left, protocol::kDumpNameFormat,
                                dumpNamePrefix.Chars(), time.wYear, time.wMonth, time.wDay,
                                time.wHour, time.wMinute, time.wSecond);
    return nameLength >= 0 && static_cast<size_t>(nameLength) < left;
}

void WriteDumpFile(MiniDumpWriteDumpFunction writeDump, EXCEPTION_POINTERS* exception,
                   DWORD threadId) {
    SYSTEMTIME time;
    GetLocalTime(&time);
    if (!FormatDumpFileName(time)) return;
    UniqueFile file(CreateFileW(dumpFileName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) return;
    MINIDUMP_EXCEPTION_INFORMATION exceptionInformation;
    exceptionInformation.ThreadId = threadId;
    exceptionInformation.ExceptionPointers = exception;
    exceptionInformation.ClientPointers = FALSE;
    writeDump(GetCurrentProcess(), GetCurrentProcessId(), file.Get(), MiniDumpNormal,
              &exceptionInformation, nullptr, nullptr);
}

// With the dump lock held. Returns only when DbgHelp or its MiniDumpWriteDump
// is missing.
void WriteDumpAndEnd(EXCEPTION_POINTERS* exception, DWORD threadId) {
    MiniDumpWriteDumpFunction writeDump = LookUpMiniDumpWriteDump();
    if (!writeDump) return;
    WriteDumpFile(writeDump, exception, threadId);
    // The lock stays held: a thread that faults meanwhile waits at it until
    // the process is gone, instead of starting a dump of the same name.
    EndProcess();
}

// A thread that overflowed its stack has too little of it left to load DbgHelp
// and write a dump; a watching thread with stack to spare writes it instead.
// Returns only when no thread watches.
void HandOffDump(EXCEPTION_POINTERS* exception) {
    HANDLE event = dumpHandOffEvent.exchange(nullptr);
    if (!event) return;
    handedOffException = exception;
    handedOffThreadId = GetCurrentThreadId();
    SetEvent(event);
    Sleep(INFINITE);
}

}  // namespace

void InitializeCrashDumps() {
    InitializeCriticalSection(&dumpLock);
    // Without a prefix the filter writes no dump, as without a directory.
    if (!dumpNamePrefix.Assign(protocol::kDumpNamePrefix)) dumpNamePrefix.Release();
}

void SetCrashDumpDirectory(const WideString& directory) {
    dumpDirectory = directory;
}

void InstallCrashFilter() {
    SetUnhandledExceptionFilter(CrashFilter);
    InstallAbortHandler();
}

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* exception) {
    if (!HasDumpTarget()) {
        EndProcess();
        return EXCEPTION_CONTINUE_SEARCH;
    }

    EnterDumpLock();
    if (exception->ExceptionRecord->ExceptionCode == EXCEPTION_STACK_OVERFLOW) {
        HandOffDump(exception);
    }
    WriteDumpAndEnd(exception, GetCurrentThreadId());
    LeaveDumpLock();
    return EXCEPTION_CONTINUE_SEARCH;
}

void EnterDumpLock() {
    EnterCriticalSection(&dumpLock);
    dumpLockOwner = GetCurrentThreadId();
}

void LeaveDumpLock() {
    dumpLockOwner = 0;
    LeaveCriticalSection(&dumpLock);
}

void EnterDumpLockLeftBy(DWORD endedThreadId) {
    if (TryEnterCriticalSection(&dumpLock)) {
        dumpLockOwner = GetCurrentThreadId();
        return;
    }
    // A thread that ended inside the lock never leaves it; waiting would be for ever.
    if (dumpLockOwner == endedThreadId) return;
    EnterDumpLock();
}

void EndWithCrashDump(EXCEPTION_POINTERS* exception, DWORD threadId) {
    if (HasDumpTarget()) WriteDumpAndEnd(exception, threadId);
    EndProcess();
}

void OfferDumpHandOff(HANDLE event) {
    dumpHandOffEvent = event;
}

bool WithdrawDumpHandOff() {
    return dumpHandOffEvent.exchange(nullptr) != nullptr;
}

// The overflowed thread holds the dump lock on the dump's behalf and waits.
void EndWithHandedOffDump() {
    EndWithCrashDump(handedOffException, handedOffThreadId);
}

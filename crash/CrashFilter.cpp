#include "crash/CrashFilter.h"

#include <dbghelp.h>

#include <cwchar>

#include "platform/KernelHandles.h"
#include "protocol/Protocol.h"

namespace {

CRITICAL_SECTION dumpLock;
WideString dumpDirectory;
WideString dumpNamePrefix;

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

// False when the name would not fit even the largest path; nothing is cut.
[[nodiscard]] bool FormatDumpFileName(const SYSTEMTIME& time) {
    int folderLength = _snwprintf(dumpFileName, kDumpFileNameCapacity, L"%s\\",
                                  dumpDirectory.Chars());
    if (folderLength < 0 || static_cast<size_t>(folderLength) >= kDumpFileNameCapacity) {
        return false;
    }
    const size_t left = kDumpFileNameCapacity - static_cast<size_t>(folderLength);
    int nameLength = _snwprintf(dumpFileName + folderLength, left, protocol::kDumpNameFormat,
                                dumpNamePrefix.Chars(), time.wYear, time.wMonth, time.wDay,
                                time.wHour, time.wMinute, time.wSecond);
    return nameLength >= 0 && static_cast<size_t>(nameLength) < left;
}

void WriteDumpFile(MiniDumpWriteDumpFunction writeDump, EXCEPTION_POINTERS* exception) {
    SYSTEMTIME time;
    GetLocalTime(&time);
    if (!FormatDumpFileName(time)) return;
    UniqueFile file(CreateFileW(dumpFileName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) return;
    MINIDUMP_EXCEPTION_INFORMATION exceptionInformation;
    exceptionInformation.ThreadId = GetCurrentThreadId();
    exceptionInformation.ExceptionPointers = exception;
    exceptionInformation.ClientPointers = FALSE;
    writeDump(GetCurrentProcess(), GetCurrentProcessId(), file.Get(), MiniDumpNormal,
              &exceptionInformation, nullptr, nullptr);
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
}

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* exception) {
    const wchar_t* directory = dumpDirectory.Chars();
    if (!directory || !directory[0] || dumpNamePrefix.IsNull()) {
        TerminateProcess(GetCurrentProcess(), protocol::kCrashExitCode);
        return EXCEPTION_CONTINUE_SEARCH;
    }

    EnterCriticalSection(&dumpLock);
    MiniDumpWriteDumpFunction writeDump = LookUpMiniDumpWriteDump();
    if (!writeDump) {
        LeaveCriticalSection(&dumpLock);
        return EXCEPTION_CONTINUE_SEARCH;
    }
    WriteDumpFile(writeDump, exception);
    // The lock stays held: a thread that faults meanwhile waits at it until
    // the process is gone, instead of starting a dump of the same name.
    TerminateProcess(GetCurrentProcess(), protocol::kCrashExitCode);
    return EXCEPTION_CONTINUE_SEARCH;
}

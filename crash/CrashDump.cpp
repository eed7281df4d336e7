#include "crash/CrashDump.h"

#include <dbghelp.h>

#include <atomic>
#include <cstring>
#include <cwchar>

#include "channel/OutputChannel.h"
#include "crash/LoaderLockTakeOver.h"
#include "platform/KernelHandles.h"
#include "protocol/Protocol.h"

namespace {

WideString dumpDirectory;

// The longest path the file system calls accept. The name is formatted into
// static storage because a crash may come from a fault inside the heap (a
// plugin corrupting it, or faulting while another thread holds its lock),
// where allocating could fault again or never return.
constexpr size_t kDumpFileNameCapacity = 32768;
wchar_t dumpFileName[kDumpFileNameCapacity];

using MiniDumpWriteDumpFunction = decltype(&MiniDumpWriteDump);

// Looked up at start-up and never freed: loading a library at crash time waits
// for the loader lock, which a plugin thread may hold for ever.
MiniDumpWriteDumpFunction lookedUpMiniDumpWriteDump = nullptr;

MiniDumpWriteDumpFunction LookUpMiniDumpWriteDump() {
    HMODULE dbgHelp = LoadLibraryW(L"DbgHelp.dll");
    if (!dbgHelp) return nullptr;
    FARPROC function = GetProcAddress(dbgHelp, "MiniDumpWriteDump");
    return reinterpret_cast<MiniDumpWriteDumpFunction>(reinterpret_cast<void*>(function));
}

// Set once a dump has begun, for the thread that watches it.
std::atomic<HANDLE> crashNotice{nullptr};
std::atomic<DWORD> dumpingThreadId{0};

void AnnounceDump() {
    dumpingThreadId = GetCurrentThreadId();
    if (HANDLE notice = crashNotice.load()) SetEvent(notice);
}

// A dump the process ends in the middle of (given up by the watcher) is
// deleted with its last handle rather than left behind half written.
[[nodiscard]] bool MarkForDeletion(HANDLE file, bool deleteOnClose) {
    FILE_DISPOSITION_INFO disposition = {static_cast<BOOLEAN>(deleteOnClose ? TRUE : FALSE)};
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                      sizeof disposition) != FALSE;
}

bool HasDumpTarget() {
    const wchar_t* directory = dumpDirectory.Chars();
    return directory && directory[0];
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
                                protocol::kDumpNamePrefix, time.wYear, time.wMonth, time.wDay,
                                time.wHour, time.wMinute, time.wSecond);
    return nameLength >= 0 && static_cast<size_t>(nameLength) < left;
}

// Null once the dump is written; otherwise the line that says why it is not.
const char* WriteDumpFile(EXCEPTION_POINTERS* exception, DWORD threadId) {
    MiniDumpWriteDumpFunction writeDump = lookedUpMiniDumpWriteDump;
    if (!writeDump) return "error:No crash dump written: DbgHelp could not be loaded\n";
    SYSTEMTIME time;
    GetLocalTime(&time);
    if (!FormatDumpFileName(time)) return "error:No crash dump written: its path is too long\n";
    UniqueFile file(CreateFileW(dumpFileName, GENERIC_WRITE | DELETE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) return "error:No crash dump written: the file could not be created\n";
    const bool marked = MarkForDeletion(file.Get(), true);
    TakeOverLoaderLock();
    MINIDUMP_EXCEPTION_INFORMATION exceptionInformation;
    exceptionInformation.ThreadId = threadId;
    exceptionInformation.ExceptionPointers = exception;
    exceptionInformation.ClientPointers = FALSE;
    if (!writeDump(GetCurrentProcess(), GetCurrentProcessId(), file.Get(), MiniDumpNormal,
                   &exceptionInformation, nullptr, nullptr)) {
        return "error:No crash dump written: MiniDumpWriteDump failed\n";
    }
    if (marked && !MarkForDeletion(file.Get(), false)) {
        return "error:No crash dump written: the written file could not be kept\n";
    }
    return nullptr;
}

}  // namespace

void SetCrashDumpDirectory(const WideString& directory) {
    dumpDirectory = directory;
}

void LoadDumpWriter() {
    lookedUpMiniDumpWriteDump = LookUpMiniDumpWriteDump();
    FindLoaderLock();
}

void OfferCrashNotice(HANDLE event) {
    crashNotice = event;
}

DWORD DumpingThreadId() {
    return dumpingThreadId;
}

void EndWithStalledDump() {
    static const char kStalled[] =
        "error:No crash dump written: it stalled, waiting for a lock another thread holds\n";
    DWORD written = 0;
    WriteFile(GetOutputHandle(), kStalled, sizeof kStalled - 1, &written, nullptr);
    FlushFileBuffers(GetOutputHandle());
    TerminateProcess(GetCurrentProcess(), protocol::kCrashExitCode);
}

void EndWithCrashDump(EXCEPTION_POINTERS* exception, DWORD threadId) {
    AnnounceDump();
    if (HasDumpTarget()) {
        if (const char* failure = WriteDumpFile(exception, threadId)) {
            WriteWholeLine(failure, static_cast<uint32_t>(std::strlen(failure)));
        }
    }
    TerminateProcess(GetCurrentProcess(), protocol::kCrashExitCode);
}

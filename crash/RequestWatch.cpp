#include "crash/RequestWatch.h"

#include <windows.h>

#include "channel/DumpLock.h"
#include "crash/CrashDump.h"
#include "crash/DumpHandOff.h"
#include "platform/KernelHandles.h"

namespace {

// Kept back on the request thread for the exception dispatch and the filter
// after a stack overflow, so that the filter can still hand the dump over.
constexpr ULONG kStackReservedForFilter = 64 * 1024;

// The code (customer bit set) of the exception record in the dump of a
// request thread that ended before it finished; its one parameter is the
// thread's exit code.
constexpr DWORD kRequestThreadEndedCode = 0xE0000001;

// A dump waits for ever when it needs a lock a plugin thread holds and keeps
// (under Wine even creating the dump file takes the process heap's lock). A
// dump under way keeps its thread busy, slow as it is on a loaded machine
// (tens of seconds under Wine), so it is given up only once its thread has
// used no processor time for this many checks in a row.
constexpr DWORD kStallCheckMilliseconds = 1000;
constexpr int kStalledChecks = 3;

struct RequestThread {
    void (*serve)(void*);
    void* context;
    bool finished;
};

DWORD WINAPI RunRequestThread(void* parameter) {
    RequestThread& thread = *static_cast<RequestThread*>(parameter);
    ULONG reserved = kStackReservedForFilter;
    // Without it the system's own, smaller reserve has to do.
    static_cast<void>(SetThreadStackGuarantee(&reserved));
    thread.serve(thread.context);
    thread.finished = true;
    return 0;
}

// The request thread ends before it finishes when Wine cuts it off at a stack
// overflow (no handler runs at all) or a plugin ends it. Its context went with
// it, so the dump records which thread ended and its exit code.
void EndForEndedThread(HANDLE thread, DWORD threadId) {
    DWORD exitCode = 0;
    GetExitCodeThread(thread, &exitCode);
    EXCEPTION_RECORD record = {};
    record.ExceptionCode = kRequestThreadEndedCode;
    record.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
    record.NumberParameters = 1;
    record.ExceptionInformation[0] = exitCode;
    CONTEXT context = {};
    EXCEPTION_POINTERS pointers = {&record, &context};
    // The ended thread may have left the lock held; it is taken over then.
    EnterDumpLock();
    EndWithCrashDump(&pointers, threadId);
}

ULONGLONG ProcessorTime(HANDLE thread) {
    FILETIME creation, exit, kernel, user;
    if (!GetThreadTimes(thread, &creation, &exit, &kernel, &user)) return 0;
    return (static_cast<ULONGLONG>(kernel.dwHighDateTime) << 32 | kernel.dwLowDateTime) +
           (static_cast<ULONGLONG>(user.dwHighDateTime) << 32 | user.dwLowDateTime);
}

// Returns only should the dump's end come first: the dumping thread ends the
// process itself.
void WatchDump() {
    UniqueHandle dumping(OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, DumpingThreadId()));
    ULONGLONG used = ProcessorTime(dumping.Get());
    for (int stalled = 0; stalled < kStalledChecks;) {
        Sleep(kStallCheckMilliseconds);
        const ULONGLONG nowUsed = ProcessorTime(dumping.Get());
        stalled = nowUsed == used ? stalled + 1 : 0;
        used = nowUsed;
    }
    EndWithStalledDump();
}

void Watch(HANDLE thread, DWORD threadId, HANDLE handOff, HANDLE crashNotice,
           const RequestThread& requestThread) {
    HANDLE watched[3] = {thread};
    DWORD count = 1;
    if (handOff) watched[count++] = handOff;
    if (crashNotice) watched[count++] = crashNotice;
    const DWORD woken = WaitForMultipleObjects(count, watched, FALSE, INFINITE);
    if (crashNotice && woken == WAIT_OBJECT_0 + count - 1) WatchDump();
    // Whatever woke the watcher, a thread that handed its dump over waits for it.
    if (handOff && !WithdrawDumpHandOff()) {
        WaitForSingleObject(handOff, INFINITE);
        EndWithHandedOffDump();
    }
    if (!requestThread.finished) EndForEndedThread(thread, threadId);
}

}  // namespace

void ServeOnWatchedThread(void (*serve)(void*), void* context) {
    RequestThread requestThread = {serve, context, false};
    DWORD threadId = 0;
    UniqueHandle thread(
        CreateThread(nullptr, 0, RunRequestThread, &requestThread, CREATE_SUSPENDED, &threadId));
    if (!thread.IsValid()) {
        // Out of resources before the first request: served unwatched.
        serve(context);
        return;
    }
    UniqueHandle handOff(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (handOff.IsValid()) OfferDumpHandOff(handOff.Get());
    UniqueHandle crashNotice(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    OfferCrashNotice(crashNotice.Get());
    ResumeThread(thread.Get());
    Watch(thread.Get(), threadId, handOff.Get(), crashNotice.Get(), requestThread);
    OfferCrashNotice(nullptr);
}

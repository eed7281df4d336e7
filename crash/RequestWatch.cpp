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

void Watch(HANDLE thread, DWORD threadId, HANDLE handOff, const RequestThread& requestThread) {
    HANDLE watched[] = {thread, handOff};
    WaitForMultipleObjects(handOff ? 2 : 1, watched, FALSE, INFINITE);
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
    ResumeThread(thread.Get());
    Watch(thread.Get(), threadId, handOff.Get(), requestThread);
}

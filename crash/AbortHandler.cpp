#include "crash/AbortHandler.h"

#include <windows.h>

#include <csignal>

#include "channel/DumpLock.h"
#include "crash/CrashDump.h"

namespace {

// STATUS_FATAL_APP_EXIT: the code the system reports an aborted program with.
constexpr DWORD kAbortExceptionCode = 0x40000015;

// abort() raises SIGABRT on the aborting thread; the dump shows that thread
// where the handler was called from.
void EndAbortedProcess(int) {
    CONTEXT context;
    RtlCaptureContext(&context);
    EXCEPTION_RECORD record = {};
    record.ExceptionCode = kAbortExceptionCode;
    record.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
    EXCEPTION_POINTERS pointers = {&record, &context};
    EnterDumpLock();
    EndWithCrashDump(&pointers, GetCurrentThreadId());
}

}  // namespace

void InstallAbortHandler() {
    signal(SIGABRT, EndAbortedProcess);
}

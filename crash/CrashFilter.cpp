#include "crash/CrashFilter.h"

#include "channel/DumpLock.h"
#include "crash/AbortHandler.h"
#include "crash/CrashDump.h"
#include "crash/DumpHandOff.h"

void InstallCrashFilter() {
    SetUnhandledExceptionFilter(CrashFilter);
    InstallAbortHandler();
}

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* exception) {
    EnterDumpLock();
    if (exception->ExceptionRecord->ExceptionCode == EXCEPTION_STACK_OVERFLOW) {
        HandOffDump(exception);
    }
    EndWithCrashDump(exception, GetCurrentThreadId());
    return EXCEPTION_CONTINUE_SEARCH;
}

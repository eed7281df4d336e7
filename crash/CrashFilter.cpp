#include "crash/CrashFilter.h"

#include <atomic>

#include "channel/DumpLock.h"
#include "crash/AbortHandler.h"
#include "crash/CrashDump.h"
#include "crash/DumpHandOff.h"
#include "crash/EntryRedirect.h"

namespace {

bool filterGuarded = false;
// The filter a plugin asked for last; it is never installed.
std::atomic<LPTOP_LEVEL_EXCEPTION_FILTER> refusedFilter{nullptr};

// Where every call of SetUnhandledExceptionFilter lands once the filter is
// guarded. Plugins set their own filter in any call, on threads of their own,
// again and again, and fault in the same call; the one way to keep ours in
// force through all of it is to never let theirs in. The caller is told its
// previous request as the filter it replaced.
LPTOP_LEVEL_EXCEPTION_FILTER WINAPI RefuseFilter(LPTOP_LEVEL_EXCEPTION_FILTER filter) {
    return refusedFilter.exchange(filter);
}

// kernel32's export may jump on to kernelbase's (Wine) or be forwarded to it
// (GetProcAddress then gives kernelbase's entry); each distinct entry gets its
// own jump, kernelbase's first.
[[nodiscard]] bool GuardFilterEntries() {
    static const wchar_t* const kModules[] = {L"kernelbase.dll", L"kernel32.dll"};
    void* guarded = nullptr;
    bool allGuarded = true;
    for (const wchar_t* name : kModules) {
        HMODULE module = GetModuleHandleW(name);
        if (!module) continue;
        void* entry =
            reinterpret_cast<void*>(GetProcAddress(module, "SetUnhandledExceptionFilter"));
        if (!entry || entry == guarded) continue;
        if (!RedirectFunctionEntry(entry, reinterpret_cast<const void*>(&RefuseFilter))) {
            allGuarded = false;
        }
        guarded = entry;
    }
    return allGuarded && guarded;
}

}  // namespace

void InstallCrashFilter() {
    SetUnhandledExceptionFilter(CrashFilter);
    InstallAbortHandler();
    filterGuarded = GuardFilterEntries();
}

void RearmCrashFilter() {
    if (!filterGuarded) SetUnhandledExceptionFilter(CrashFilter);
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

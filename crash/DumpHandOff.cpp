#include "crash/DumpHandOff.h"

#include <atomic>

#include "crash/CrashDump.h"

namespace {

std::atomic<HANDLE> dumpHandOffEvent{nullptr};
EXCEPTION_POINTERS* handedOffException = nullptr;
DWORD handedOffThreadId = 0;

}  // namespace

void OfferDumpHandOff(HANDLE event) {
    dumpHandOffEvent = event;
}

bool WithdrawDumpHandOff() {
    return dumpHandOffEvent.exchange(nullptr) != nullptr;
}

void EndWithHandedOffDump() {
    EndWithCrashDump(handedOffException, handedOffThreadId);
}

void HandOffDump(EXCEPTION_POINTERS* exception) {
    HANDLE event = dumpHandOffEvent.exchange(nullptr);
    if (!event) return;
    handedOffException = exception;
    handedOffThreadId = GetCurrentThreadId();
    SetEvent(event);
    Sleep(INFINITE);
}

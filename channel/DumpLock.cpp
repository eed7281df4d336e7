#include "channel/DumpLock.h"

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "platform/KernelHandles.h"

namespace {

// The id of the thread that holds the lock, 0 while it is free. Taking the
// lock and recording its holder are one atomic step, so the lock can never
// look free while held, nor be held by nobody.
std::atomic<DWORD> holder{0};
// How often the holder has entered; only the holder touches it.
uint32_t depth = 0;

// Lines rarely meet at the lock, so a waiter sleeps rather than keeping a
// kernel object that every line would have to pass.
constexpr DWORD kWaitMilliseconds = 1;
constexpr uint32_t kWaitsBetweenHolderChecks = 50;

// A thread that no longer opens is gone with its last handle.
bool HasEnded(DWORD threadId) {
    UniqueHandle thread(OpenThread(SYNCHRONIZE, FALSE, threadId));
    return !thread.IsValid() || WaitForSingleObject(thread.Get(), 0) == WAIT_OBJECT_0;
}

[[nodiscard]] bool TakeFrom(DWORD expected, DWORD self) {
    if (!holder.compare_exchange_strong(expected, self)) return false;
    depth = 1;
    return true;
}

}  // namespace

void EnterDumpLock() {
    const DWORD self = GetCurrentThreadId();
    if (holder.load() == self) {
        ++depth;
        return;
    }
    for (uint32_t waits = 0;; ++waits) {
        if (TakeFrom(0, self)) return;
        if (waits % kWaitsBetweenHolderChecks == kWaitsBetweenHolderChecks - 1) {
            DWORD left = holder.load();
            if (left != 0 && HasEnded(left) && TakeFrom(left, self)) return;
        }
        Sleep(kWaitMilliseconds);
    }
}

void LeaveDumpLock() {
    if (--depth == 0) holder.store(0);
}

#include "crash/LoaderLockTakeOver.h"

#include <windows.h>
// Needs the base declarations first.
#include <winternl.h>

#include <cstdint>

#include "platform/KernelHandles.h"

namespace {

// Where the process environment block keeps the loader lock's address on x64.
constexpr size_t kLoaderLockOffset = 0x110;

RTL_CRITICAL_SECTION* loaderLock = nullptr;

}  // namespace

void FindLoaderLock() {
    PROCESS_BASIC_INFORMATION process = {};
    if (NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &process,
                                  sizeof process, nullptr) != 0 ||
        !process.PebBaseAddress) {
        return;
    }
    const uint8_t* environment = reinterpret_cast<const uint8_t*>(process.PebBaseAddress);
    loaderLock = *reinterpret_cast<RTL_CRITICAL_SECTION* const*>(environment + kLoaderLockOffset);
}

void TakeOverLoaderLock() {
    if (!loaderLock) return;
    const HANDLE self = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(GetCurrentThreadId()));
    const HANDLE owner = loaderLock->OwningThread;
    if (!owner || owner == self) return;
    UniqueHandle holder(OpenThread(THREAD_SUSPEND_RESUME, FALSE,
                                   static_cast<DWORD>(reinterpret_cast<uintptr_t>(owner))));
    if (holder.IsValid()) SuspendThread(holder.Get());
    // Its recursion count stays the holder's, at least 1, so that the
    // loader's own enter and leave pairs never release it.
    loaderLock->OwningThread = self;
}

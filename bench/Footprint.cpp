#include "bench/Footprint.h"

#include <psapi.h>
#include <winternl.h>

#include <cstdint>
#include <vector>

bool ReadProcessList(std::vector<unsigned char>& buffer) {
    constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);
    buffer.resize(256 * 1024);
    ULONG needed = 0;
    NTSTATUS status;
    while ((status = NtQuerySystemInformation(SystemProcessInformation, buffer.data(),
                                              static_cast<ULONG>(buffer.size()), &needed)) ==
           kInfoLengthMismatch) {
        buffer.resize(needed + 64 * 1024);
    }
    return NT_SUCCESS(status);
}

namespace {

bool HandleCountFromProcessList(DWORD processId, DWORD& handles) {
    std::vector<unsigned char> buffer;
    if (!ReadProcessList(buffer)) return false;
    for (size_t offset = 0;;) {
        auto* entry = reinterpret_cast<SYSTEM_PROCESS_INFORMATION*>(buffer.data() + offset);
        if (reinterpret_cast<uintptr_t>(entry->UniqueProcessId) == processId) {
            handles = entry->HandleCount;
            return true;
        }
        if (entry->NextEntryOffset == 0) return false;
        offset += entry->NextEntryOffset;
    }
}

}  // namespace

// Under Wine GetProcessMemoryInfo fills only the basic record (its cb says so)
// and leaves PrivateUsage alone; PagefileUsage is the same commit charge on
// Windows, and the process's anonymous resident memory under Wine.
// GetProcessHandleCount answers 0 there for every process, though no live
// process is without handles; the system's process list has the real count.
bool ReadFootprint(HANDLE process, size_t afterRequests, Footprint& footprint) {
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                              sizeof(counters)) ||
        !GetProcessHandleCount(process, &footprint.handles)) {
        return false;
    }
    if (footprint.handles == 0 &&
        !HandleCountFromProcessList(GetProcessId(process), footprint.handles)) {
        return false;
    }
    footprint.afterRequests = afterRequests;
    footprint.privateBytes =
        counters.cb >= sizeof(counters) ? counters.PrivateUsage : counters.PagefileUsage;
    return true;
}

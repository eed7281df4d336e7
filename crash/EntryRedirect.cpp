#include "crash/EntryRedirect.h"

#include <windows.h>

#include <cstdint>
#include <cstring>

#include "platform/UniqueOwner.h"

namespace {

// The entry gets a jump of 5 bytes (E9 and a 32-bit displacement), which fits
// even a function that is no more than a jump on through an import; it
// reaches a relay within 2 GB of the entry, which jumps on to the replacement
// through its full address. The bytes are written, not assembled: the same
// code builds with compilers that have no inline assembly for x64.
constexpr uint8_t kNearJump = 0xE9;
constexpr size_t kNearJumpSize = 5;
// jmp qword ptr [rip+0], followed by the 8-byte address it jumps to.
constexpr uint8_t kAbsoluteJump[] = {0xFF, 0x25, 0x00, 0x00, 0x00, 0x00};
constexpr size_t kRelaySize = sizeof kAbsoluteJump + sizeof(uint64_t);
// Where VirtualAlloc may place a region, and a little less than a 32-bit
// displacement reaches.
constexpr uintptr_t kAllocationGranularity = 64 * 1024;
constexpr uintptr_t kNearJumpReach = 0x7FF00000;

struct RelayTraits : NullIsInvalid<uint8_t*> {
    static void Close(uint8_t* relay) { VirtualFree(relay, 0, MEM_RELEASE); }
};
using UniqueRelay = UniqueOwner<RelayTraits>;

uintptr_t AlignDown(uintptr_t address) {
    return address - address % kAllocationGranularity;
}

// The nearest free region below the entry that a near jump from it reaches.
uint8_t* AllocateRelayNear(uintptr_t entry) {
    const uintptr_t lowest = entry > kNearJumpReach ? entry - kNearJumpReach : 0;
    uintptr_t address = AlignDown(entry);
    while (address >= lowest + kAllocationGranularity) {
        address -= kAllocationGranularity;
        MEMORY_BASIC_INFORMATION region;
        if (!VirtualQuery(reinterpret_cast<void*>(address), &region, sizeof region)) break;
        if (region.State != MEM_FREE) {
            address = AlignDown(reinterpret_cast<uintptr_t>(region.AllocationBase));
            continue;
        }
        void* relay = VirtualAlloc(reinterpret_cast<void*>(address), kRelaySize,
                                   MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
        if (relay) return static_cast<uint8_t*>(relay);
    }
    return nullptr;
}

[[nodiscard]] bool WriteRelay(uint8_t* relay, const void* replacement) {
    const uint64_t target = reinterpret_cast<uintptr_t>(replacement);
    std::memcpy(relay, kAbsoluteJump, sizeof kAbsoluteJump);
    std::memcpy(relay + sizeof kAbsoluteJump, &target, sizeof target);
    DWORD previous = 0;
    if (!VirtualProtect(relay, kRelaySize, PAGE_EXECUTE_READ, &previous)) return false;
    FlushInstructionCache(GetCurrentProcess(), relay, kRelaySize);
    return true;
}

[[nodiscard]] bool WriteNearJump(uint8_t* entry, const uint8_t* relay) {
    const int64_t displacement = relay - (entry + kNearJumpSize);
    if (displacement < INT32_MIN || displacement > INT32_MAX) return false;
    const int32_t displacement32 = static_cast<int32_t>(displacement);
    uint8_t jump[kNearJumpSize] = {kNearJump};
    std::memcpy(jump + 1, &displacement32, sizeof displacement32);
    DWORD previous = 0;
    if (!VirtualProtect(entry, kNearJumpSize, PAGE_EXECUTE_READWRITE, &previous)) return false;
    std::memcpy(entry, jump, kNearJumpSize);
    VirtualProtect(entry, kNearJumpSize, previous, &previous);
    FlushInstructionCache(GetCurrentProcess(), entry, kNearJumpSize);
    return true;
}

}  // namespace

bool RedirectFunctionEntry(void* entry, const void* replacement) {
    uint8_t* entryBytes = static_cast<uint8_t*>(entry);
    UniqueRelay relay(AllocateRelayNear(reinterpret_cast<uintptr_t>(entryBytes)));
    if (!relay.IsValid() || !WriteRelay(relay.Get(), replacement) ||
        !WriteNearJump(entryBytes, relay.Get())) {
        return false;
    }
    // Every call of the function passes through the relay from now on.
    relay.Detach();
    return true;
}

// A process's private bytes and handle count, as a host can read them.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

struct Footprint {
    size_t afterRequests = 0;
    SIZE_T privateBytes = 0;
    DWORD handles = 0;
};

[[nodiscard]] bool ReadFootprint(HANDLE process, size_t afterRequests, Footprint& footprint);

// The system's process list (SYSTEM_PROCESS_INFORMATION records), read whole.
[[nodiscard]] bool ReadProcessList(std::vector<unsigned char>& buffer);

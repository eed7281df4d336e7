// The input is a journal's text, torn lines and all.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/scan-plugins/ScanCache.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static_cast<void>(JournalEntries(std::string(reinterpret_cast<const char*>(data), size)));
    return 0;
}

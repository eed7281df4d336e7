// The input is a cache file's text; what loads is written again and must
// load as the same entries.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tools/scan-plugins/ScanCache.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    LoadedCache cache = CacheFromText(std::string(reinterpret_cast<const char*>(data), size));
    if (cache.state != CacheState::kLoaded) return 0;
    LoadedCache again = CacheFromText(CacheToText(cache.entries));
    if (again.state != CacheState::kLoaded || again.entries.size() != cache.entries.size()) {
        std::abort();
    }
    return 0;
}

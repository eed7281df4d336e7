// The input is a whole file, read the way ReadImageMachine reads one: its
// first bytes as the DOS header, then the bytes at the offset that names.
#include <cstddef>
#include <cstdint>
#include <string>

#include "host/ImageMachine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string file(reinterpret_cast<const char*>(data), size);
    uint32_t offset = 0;
    if (!PeHeaderOffset(file.substr(0, kDosHeaderBytes), offset)) return 0;
    std::string peHeader = offset < file.size() ? file.substr(offset, kPeHeaderBytes) : "";
    static_cast<void>(ReadPeHeader(peHeader));
    return 0;
}

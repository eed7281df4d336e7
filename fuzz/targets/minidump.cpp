// The input is a dump file's bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "host/MinidumpReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DumpFacts facts;
    if (ReadDumpFacts(std::string(reinterpret_cast<const char*>(data), size), facts)) {
        static_cast<void>(FaultingModule(facts));
    }
    return 0;
}

#include <cstring>

#include "host/ImageMachine.h"

namespace {

constexpr size_t kPeOffsetField = 0x3C;

struct KnownMachine {
    uint16_t value;
    ImageMachine machine;
};

constexpr KnownMachine kKnownMachines[] = {
    {0x8664, ImageMachine::kX64},
    {0x014C, ImageMachine::kX86},
    {0xAA64, ImageMachine::kArm64},
    {0x01C4, ImageMachine::kArm},
};

}  // namespace

bool PeHeaderOffset(const std::string& dosHeader, uint32_t& offset) {
    if (dosHeader.size() < kDosHeaderBytes || dosHeader[0] != 'M' || dosHeader[1] != 'Z') {
        return false;
    }
    std::memcpy(&offset, dosHeader.data() + kPeOffsetField, sizeof offset);
    return true;
}

ImageHeader ReadPeHeader(const std::string& peHeader) {
    ImageHeader header;
    if (peHeader.size() < kPeHeaderBytes || std::memcmp(peHeader.data(), "PE\0\0", 4) != 0) {
        return header;
    }
    std::memcpy(&header.machineValue, peHeader.data() + 4, sizeof header.machineValue);
    header.machine = ImageMachine::kOther;
    for (const KnownMachine& known : kKnownMachines) {
        if (known.value == header.machineValue) header.machine = known.machine;
    }
    return header;
}

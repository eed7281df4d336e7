#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "host/ImageMachine.h"
#include "support/ScanPluginsSupport.h"

namespace {

// A DOS header whose PE offset points past it, as linkers write them, then
// the PE signature and the machine.
std::string Image(uint32_t peOffset, const std::string& signature, uint16_t machine) {
    std::string bytes(peOffset, '\0');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    bytes.replace(0x3C, 4, reinterpret_cast<const char*>(&peOffset), 4);
    bytes += signature;
    bytes.append(reinterpret_cast<const char*>(&machine), 2);
    return bytes + std::string(18, '\0');
}

TEST(ImageMachine, TheMachineComesFromThePeHeader) {
    const std::string kPe("PE\0\0", 4);
    const struct {
        std::string bytes;
        ImageMachine machine;
        uint16_t value;
    } kCases[] = {
        {Image(0x80, kPe, 0x8664), ImageMachine::kX64, 0x8664},
        {Image(0x80, kPe, 0x014C), ImageMachine::kX86, 0x014C},
        {Image(0x40, kPe, 0xAA64), ImageMachine::kArm64, 0xAA64},
        {Image(0x200, kPe, 0x01C4), ImageMachine::kArm, 0x01C4},
        {Image(0x80, kPe, 0x5064), ImageMachine::kOther, 0x5064},
        {Image(0x80, std::string("PE\0\1", 4), 0x8664), ImageMachine::kNotAnImage, 0},
        {Image(0x80, kPe, 0x8664).substr(0, 0x84), ImageMachine::kNotAnImage, 0},
        {"MZ" + std::string(0x3A, '\0') + "\xFF\xFF\xFF\x7F", ImageMachine::kNotAnImage, 0},
        {"not a plugin", ImageMachine::kNotAnImage, 0},
        {"", ImageMachine::kNotAnImage, 0},
    };
    TempFolder folder;
    for (const auto& each : kCases) {
        folder.WriteFile(L"image.dll", each.bytes);
        ImageHeader header;
        ASSERT_TRUE(ReadImageMachine(folder.Path() + L"\\image.dll", header));
        EXPECT_EQ(header.machine, each.machine) << each.bytes.size();
        EXPECT_EQ(header.machineValue, each.value) << each.bytes.size();
    }
    ImageHeader header;
    EXPECT_FALSE(ReadImageMachine(folder.Path() + L"\\absent.dll", header));
}

}  // namespace

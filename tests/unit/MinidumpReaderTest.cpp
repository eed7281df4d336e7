#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <iterator>
#include <string>

#include "host/MinidumpReader.h"

namespace {

// The layout the server's dumps have: header, stream directory, exception
// stream, module list, then the module names.
constexpr size_t kDirectory = 32;
constexpr size_t kException = kDirectory + 2 * 12;
constexpr size_t kModuleList = kException + 168;
constexpr size_t kNames = kModuleList + 4 + 2 * 108;

void Put32(std::string& bytes, size_t at, uint32_t value) {
    std::memcpy(&bytes[at], &value, sizeof value);
}

void Put64(std::string& bytes, size_t at, uint64_t value) {
    std::memcpy(&bytes[at], &value, sizeof value);
}

// Appends a MINIDUMP_STRING and gives where it starts.
uint32_t PutName(std::string& bytes, const std::wstring& name) {
    uint32_t at = static_cast<uint32_t>(bytes.size());
    bytes.resize(bytes.size() + 4 + name.size() * 2);
    Put32(bytes, at, static_cast<uint32_t>(name.size() * 2));
    std::memcpy(&bytes[at + 4], name.data(), name.size() * 2);
    return at;
}

std::string Dump(uint64_t faultAddress) {
    std::string bytes(kNames, '\0');
    Put32(bytes, 0, 0x504D444D);
    Put32(bytes, 4, 0xA793);
    Put32(bytes, 8, 2);
    Put32(bytes, 12, kDirectory);
    const uint32_t directory[][3] = {{6, 168, kException}, {4, 4 + 2 * 108, kModuleList}};
    for (size_t entry = 0; entry < 2; ++entry) {
        for (size_t field = 0; field < 3; ++field) {
            Put32(bytes, kDirectory + entry * 12 + field * 4, directory[entry][field]);
        }
    }
    Put32(bytes, kException, 0x1234);
    Put32(bytes, kException + 8, 0xC0000005);
    Put64(bytes, kException + 24, faultAddress);
    Put32(bytes, kModuleList, 2);
    const struct {
        uint64_t base;
        uint32_t size;
        const wchar_t* name;
    } kModules[] = {{0x140000000, 0x20000, L"C:\\Scan\\ScanServer-x64.exe"},
                    {0x6FFC0000, 0x8000, L"C:\\Plugins\\Caf\u00e9.dll"}};
    for (size_t at = 0; at < 2; ++at) {
        size_t module = kModuleList + 4 + at * 108;
        Put64(bytes, module, kModules[at].base);
        Put32(bytes, module + 8, kModules[at].size);
        Put32(bytes, module + 20, PutName(bytes, kModules[at].name));
    }
    return bytes;
}

TEST(MinidumpReader, TheFaultingModuleIsTheOneTheAddressLiesIn) {
    DumpFacts facts;
    ASSERT_TRUE(ReadDumpFacts(Dump(0x6FFC7FFF), facts));
    EXPECT_EQ(facts.threadId, 0x1234u);
    EXPECT_EQ(facts.exceptionCode, 0xC0000005u);
    ASSERT_EQ(facts.modules.size(), 2u);
    EXPECT_EQ(facts.modules[0].path, L"C:\\Scan\\ScanServer-x64.exe");
    EXPECT_EQ(FaultingModule(facts), L"C:\\Plugins\\Caf\u00e9.dll");

    for (uint64_t outside : {uint64_t{0x6FFC8000}, uint64_t{0}, uint64_t{0x13FFFFFFF}}) {
        ASSERT_TRUE(ReadDumpFacts(Dump(outside), facts));
        EXPECT_EQ(FaultingModule(facts), L"") << outside;
    }
}

TEST(MinidumpReader, DumpsThatDoNotHoldTogetherAreRefused) {
    // Each row damages one part of a good dump.
    const std::function<void(std::string&)> kDamages[] = {
        [](std::string& bytes) { bytes[0] = 'X'; },
        [](std::string& bytes) { bytes.resize(20); },
        [](std::string& bytes) { Put32(bytes, 8, 0x10000000); },
        [](std::string& bytes) { Put32(bytes, kDirectory, 7); },
        [](std::string& bytes) { Put32(bytes, kDirectory + 4, 100); },
        [](std::string& bytes) { Put32(bytes, kDirectory + 20, 0xFFFFFFF0); },
        [](std::string& bytes) { Put32(bytes, kModuleList, 3); },
        [](std::string& bytes) { Put32(bytes, kModuleList + 4 + 108 + 20, 0xFFFFFFFF); },
        [](std::string& bytes) { Put32(bytes, kNames, 0x7FFFFFFF); },
        [](std::string& bytes) { Put32(bytes, kNames, 3); },
    };
    DumpFacts facts;
    for (size_t row = 0; row < std::size(kDamages); ++row) {
        std::string bytes = Dump(0x6FFC0000);
        kDamages[row](bytes);
        EXPECT_FALSE(ReadDumpFacts(bytes, facts)) << "row " << row;
    }
}

}  // namespace

#include "host/ImageMachine.h"

#include <windows.h>

#include <cstring>

#include "platform/KernelHandles.h"

namespace {

constexpr size_t kDosHeaderBytes = 64;
constexpr size_t kPeOffsetField = 0x3C;
// "PE\0\0" and the first field of the file header, the machine.
constexpr size_t kPeHeaderBytes = 6;

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

// Reads up to `count` bytes at `offset`; fewer at the end of the file.
bool ReadAt(HANDLE file, uint32_t offset, size_t count, std::string& bytes) {
    LARGE_INTEGER position;
    position.QuadPart = offset;
    bytes.assign(count, '\0');
    DWORD read = 0;
    if (!SetFilePointerEx(file, position, nullptr, FILE_BEGIN) ||
        !ReadFile(file, bytes.data(), static_cast<DWORD>(count), &read, nullptr)) {
        return false;
    }
    bytes.resize(read);
    return true;
}

// Where the PE signature lies, from the DOS header.
bool PeHeaderOffset(const std::string& dosHeader, uint32_t& offset) {
    if (dosHeader.size() < kDosHeaderBytes || dosHeader[0] != 'M' || dosHeader[1] != 'Z') {
        return false;
    }
    std::memcpy(&offset, dosHeader.data() + kPeOffsetField, sizeof offset);
    return true;
}

// The machine from "PE\0\0" and the file header that follows it.
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

}  // namespace

bool ReadImageMachine(const std::wstring& path, ImageHeader& header) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string bytes;
    if (!file.IsValid() || !ReadAt(file.Get(), 0, kDosHeaderBytes, bytes)) return false;
    uint32_t offset = 0;
    if (!PeHeaderOffset(bytes, offset)) {
        header = ImageHeader();
        return true;
    }
    if (!ReadAt(file.Get(), offset, kPeHeaderBytes, bytes)) return false;
    header = ReadPeHeader(bytes);
    return true;
}

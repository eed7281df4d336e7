#include "host/ImageMachine.h"

#include <windows.h>

#include "platform/KernelHandles.h"

namespace {

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

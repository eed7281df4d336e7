#include <windows.h>

#include "host/MinidumpReader.h"
#include "platform/KernelHandles.h"

namespace {

// The reader sees only the bytes; dumps that are larger are not read whole.
constexpr uint64_t kLargestDumpBytes = 256ull * 1024 * 1024;

bool ReadFileBytes(const std::wstring& path, std::string& bytes) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    if (!file.IsValid() || !GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0 ||
        static_cast<uint64_t>(size.QuadPart) > kLargestDumpBytes) {
        return false;
    }
    bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    return bytes.empty() ||
           (ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
            read == bytes.size());
}

}  // namespace

std::wstring FaultingModuleOfDump(const std::wstring& dumpPath) {
    std::string bytes;
    DumpFacts facts;
    if (!ReadFileBytes(dumpPath, bytes) || !ReadDumpFacts(bytes, facts)) return {};
    return FaultingModule(facts);
}

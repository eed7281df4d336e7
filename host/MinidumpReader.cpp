#include "host/MinidumpReader.h"

#include <cstring>

namespace {

// The parts of the minidump layout read here; every number is little-endian.
constexpr uint32_t kSignature = 0x504D444D;  // "MDMP"
constexpr size_t kHeaderBytes = 32;
constexpr size_t kDirectoryEntryBytes = 12;
constexpr uint32_t kModuleListStream = 4;
constexpr uint32_t kExceptionStream = 6;
// MINIDUMP_EXCEPTION_STREAM: thread id, alignment, then the exception record
// (code, flags, nested record, address, ...).
constexpr size_t kExceptionThreadOffset = 0;
constexpr size_t kExceptionCodeOffset = 8;
constexpr size_t kExceptionAddressOffset = 24;
constexpr size_t kExceptionStreamBytes = 168;
// MINIDUMP_MODULE, packed: base, size, checksum, time stamp, name RVA, ...
constexpr size_t kModuleBytes = 108;
constexpr size_t kModuleSizeOffset = 8;
constexpr size_t kModuleNameOffset = 20;

struct Span {
    uint32_t rva = 0;
    uint32_t size = 0;
};

bool Fits(const std::string& bytes, uint64_t offset, uint64_t count) {
    return offset <= bytes.size() && count <= bytes.size() - offset;
}

uint32_t Read32(const std::string& bytes, size_t offset) {
    uint32_t value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

uint64_t Read64(const std::string& bytes, size_t offset) {
    uint64_t value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

bool FindStream(const std::string& bytes, uint32_t type, Span& stream) {
    uint32_t count = Read32(bytes, 8);
    uint32_t directory = Read32(bytes, 12);
    if (!Fits(bytes, directory, uint64_t{count} * kDirectoryEntryBytes)) return false;
    for (uint32_t at = 0; at < count; ++at) {
        size_t entry = directory + size_t{at} * kDirectoryEntryBytes;
        if (Read32(bytes, entry) != type) continue;
        stream.size = Read32(bytes, entry + 4);
        stream.rva = Read32(bytes, entry + 8);
        return Fits(bytes, stream.rva, stream.size);
    }
    return false;
}

// MINIDUMP_STRING: a length in bytes, then that many bytes of UTF-16.
bool ReadDumpString(const std::string& bytes, uint32_t rva, std::wstring& text) {
    if (!Fits(bytes, rva, 4)) return false;
    uint32_t length = Read32(bytes, rva);
    if (length % 2 != 0 || !Fits(bytes, uint64_t{rva} + 4, length)) return false;
    text.resize(length / 2);
    if (length > 0) std::memcpy(text.data(), bytes.data() + rva + 4, length);
    return true;
}

bool ReadModules(const std::string& bytes, const Span& stream, std::vector<DumpModule>& modules) {
    if (stream.size < 4) return false;
    uint32_t count = Read32(bytes, stream.rva);
    if (uint64_t{count} * kModuleBytes > stream.size - 4) return false;
    for (uint32_t at = 0; at < count; ++at) {
        size_t module = stream.rva + 4 + size_t{at} * kModuleBytes;
        DumpModule read;
        read.base = Read64(bytes, module);
        read.size = Read32(bytes, module + kModuleSizeOffset);
        if (!ReadDumpString(bytes, Read32(bytes, module + kModuleNameOffset), read.path)) {
            return false;
        }
        modules.push_back(std::move(read));
    }
    return true;
}

}  // namespace

bool ReadDumpFacts(const std::string& bytes, DumpFacts& facts) {
    if (bytes.size() < kHeaderBytes || Read32(bytes, 0) != kSignature) return false;
    Span exception, moduleList;
    if (!FindStream(bytes, kExceptionStream, exception) || exception.size < kExceptionStreamBytes ||
        !FindStream(bytes, kModuleListStream, moduleList)) {
        return false;
    }
    DumpFacts read;
    read.threadId = Read32(bytes, exception.rva + kExceptionThreadOffset);
    read.exceptionCode = Read32(bytes, exception.rva + kExceptionCodeOffset);
    read.exceptionAddress = Read64(bytes, exception.rva + kExceptionAddressOffset);
    if (!ReadModules(bytes, moduleList, read.modules)) return false;
    facts = std::move(read);
    return true;
}

std::wstring FaultingModule(const DumpFacts& facts) {
    for (const DumpModule& module : facts.modules) {
        if (facts.exceptionAddress >= module.base &&
            facts.exceptionAddress - module.base < module.size) {
            return module.path;
        }
    }
    return {};
}

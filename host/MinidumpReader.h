// What a crash dump says about the crash, read by hand from the minidump
// format: the exception stream (which thread faulted, where, with what code)
// and the module list, so a host can name the module the fault lies in
// without DbgHelp.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct DumpModule {
    uint64_t base = 0;
    uint32_t size = 0;
    std::wstring path;
};

struct DumpFacts {
    uint32_t threadId = 0;
    uint32_t exceptionCode = 0;
    uint64_t exceptionAddress = 0;
    std::vector<DumpModule> modules;
};

// The dump's bytes as written; false when they are not a minidump with an
// exception stream and a module list that lie within them.
[[nodiscard]] bool ReadDumpFacts(const std::string& bytes, DumpFacts& facts);

// The path of the module the exception address lies in; empty when it lies
// in none of them.
std::wstring FaultingModule(const DumpFacts& facts);

// The faulting module of the dump file; empty when the file cannot be read or
// names none.
std::wstring FaultingModuleOfDump(const std::wstring& dumpPath);

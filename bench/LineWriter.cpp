#include "bench/LineWriter.h"

#include "bench/Bench.h"
#include "channel/OutputChannel.h"
#include "platform/KernelHandles.h"

namespace {

constexpr DWORD kRequestBufferBytes = 1024;

}  // namespace

int RunLineWriter(const wchar_t* linesPath, HANDLE input, HANDLE output,
                  const wchar_t* pluginPath) {
    std::vector<std::string> lines = SplitLines(ReadWholeFile(linesPath));
    if (lines.empty()) return 2;
    SetOutputHandle(output);
    char request[kRequestBufferBytes];
    for (;;) {
        WritePrompt();
        DWORD read = 0;
        if (!ReadFile(input, request, kRequestBufferBytes - 1, &read, nullptr) || read == 0) break;
        if (pluginPath) {
            UniqueModule plugin(LoadLibraryExW(pluginPath, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
        }
        for (const std::string& line : lines) {
            WriteWholeLine(line.data(), static_cast<uint32_t>(line.size()));
        }
    }
    return 0;
}

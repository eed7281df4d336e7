#include "bench/LineWriter.h"

#include <string>
#include <vector>

#include "bench/Bench.h"
#include "channel/OutputChannel.h"

namespace {

constexpr DWORD kRequestBufferBytes = 1024;

std::vector<std::string> ReadLines(const wchar_t* path) {
    std::string text = ReadWholeFile(path);
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        lines.push_back(text.substr(start, end - start));
        start = end;
    }
    return lines;
}

}  // namespace

int RunLineWriter(const wchar_t* linesPath, HANDLE input, HANDLE output) {
    std::vector<std::string> lines = ReadLines(linesPath);
    if (lines.empty()) return 2;
    SetOutputHandle(output);
    char request[kRequestBufferBytes];
    for (;;) {
        WritePrompt();
        DWORD read = 0;
        if (!ReadFile(input, request, kRequestBufferBytes - 1, &read, nullptr) || read == 0) break;
        for (const std::string& line : lines) {
            WriteWholeLine(line.data(), static_cast<uint32_t>(line.size()));
        }
    }
    return 0;
}

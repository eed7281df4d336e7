#include "bench/PipeHost.h"

#include <utility>

#include "bench/Statistics.h"
#include "host/ServerProcess.h"
#include "protocol/Protocol.h"

namespace {

bool EndsWithPrompt(const std::string& text) {
    const size_t promptBytes = protocol::kPromptLineBytes;
    size_t size = text.size();
    return size >= promptBytes &&
           text.compare(size - promptBytes, promptBytes, protocol::kPromptLine) == 0 &&
           (size == promptBytes || text[size - promptBytes - 1] == '\n');
}

}  // namespace

PipeHost::~PipeHost() {
    Stop(10000);
}

bool PipeHost::Start(const std::wstring& program, const std::wstring& leadingArguments) {
    ServerPipes pipes;
    if (!CreateServerPipes(pipes)) return false;
    input_ = std::move(pipes.hostInput);
    output_ = std::move(pipes.hostOutput);
    const HANDLE childInput = pipes.childInput.Get();
    const HANDLE childOutput = pipes.childOutput.Get();

    std::wstring commandLine = L"\"" + program + L"\" ";
    if (!leadingArguments.empty()) commandLine += leadingArguments + L" ";
    commandLine += HexArgument(reinterpret_cast<uintptr_t>(childInput)) + L" " +
                   HexArgument(reinterpret_cast<uintptr_t>(childOutput)) + L" 0";

    // The benchmark starts one child at a time, so the two ends are the only
    // inheritable handles while this child is created.
    SetHandleInformation(childInput, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    SetHandleInformation(childOutput, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION created = {};
    BOOL started = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                                  nullptr, nullptr, &startup, &created);
    SetHandleInformation(childInput, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(childOutput, HANDLE_FLAG_INHERIT, 0);
    if (!started) return false;
    UniqueHandle thread(created.hThread);
    process_.Reset(created.hProcess);
    processId_ = created.dwProcessId;
    return true;
}

bool PipeHost::ReadToPrompt(std::string& answer, std::vector<double>* arrivals) {
    answer.clear();
    if (arrivals) arrivals->clear();
    char buffer[4096];
    while (!EndsWithPrompt(answer)) {
        DWORD read = 0;
        if (!ReadFile(output_.Get(), buffer, sizeof(buffer), &read, nullptr) || read == 0) {
            return false;
        }
        answer.append(buffer, read);
        if (!arrivals) continue;
        double now = NowMilliseconds();
        for (DWORD at = 0; at < read; ++at) {
            if (buffer[at] == '\n') arrivals->push_back(now);
        }
    }
    answer.resize(answer.size() - protocol::kPromptLineBytes);
    return true;
}

bool PipeHost::Send(const std::string& request) {
    std::string line = request + "\n";
    DWORD written = 0;
    return input_.IsValid() &&
           WriteFile(input_.Get(), line.data(), static_cast<DWORD>(line.size()), &written,
                     nullptr) &&
           written == line.size();
}

void PipeHost::Stop(DWORD timeoutMilliseconds) {
    input_.Close();
    if (process_.IsValid() &&
        WaitForSingleObject(process_.Get(), timeoutMilliseconds) != WAIT_OBJECT_0) {
        TerminateProcess(process_.Get(), 1);
        WaitForSingleObject(process_.Get(), INFINITE);
    }
    process_.Close();
    output_.Close();
}

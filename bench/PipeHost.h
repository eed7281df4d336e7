// A host at its leanest: the two pipes of one child, and the calling thread
// writing a request and reading until the next "ready:" prompt. No reader
// thread stands between a line and the host, so what it measures is the
// server's cost and the pipe's.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/KernelHandles.h"

class PipeHost {
public:
    PipeHost() = default;
    ~PipeHost();
    PipeHost(const PipeHost&) = delete;
    PipeHost& operator=(const PipeHost&) = delete;

    // Starts `program leadingArguments INPUT OUTPUT 0`, the handle values in hexadecimal.
    [[nodiscard]] bool Start(const std::wstring& program, const std::wstring& leadingArguments);
    // Reads up to and including the next "ready:" line; what came before it
    // goes to `answer`, and, when asked for, the time each line arrived (in
    // NowMilliseconds) to `arrivals`, the prompt's last.
    [[nodiscard]] bool ReadToPrompt(std::string& answer, std::vector<double>* arrivals = nullptr);
    // Writes the request line and its line feed in one write.
    [[nodiscard]] bool Send(const std::string& request);
    // Closes the request pipe and waits for the child to end, ending it after the timeout.
    void Stop(DWORD timeoutMilliseconds);

    HANDLE Process() const { return process_.Get(); }
    DWORD ProcessId() const { return processId_; }

private:
    UniqueHandle process_;
    UniqueHandle input_;   // our end of the request pipe
    UniqueHandle output_;  // our end of the answer pipe
    DWORD processId_ = 0;
};

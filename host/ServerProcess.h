// One scan server process as a host runs it: two anonymous pipes whose child
// ends are handed over on the command line, requests written after "ready:",
// and every byte the server writes recorded.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/KernelHandles.h"

struct ServerLaunch {
    std::wstring serverPath;
    uint64_t ownerWindow = 0;
    // Argument 4; left out when absent.
    std::optional<std::wstring> dumpDirectory;
    // When present, the whole argument list after the program path, instead of
    // the usual four; the pipes are then the server's standard handles, and the
    // placeholders below stand for the values of the child's pipe ends.
    std::optional<std::vector<std::wstring>> argumentsInstead;
    // Keeps every byte the server writes for Transcript(). Otherwise what a
    // wait has handed out is dropped, so that a server kept for thousands of
    // scans costs the host no memory per scan.
    bool keepTranscript = false;
};

inline constexpr wchar_t kInputPlaceholder[] = L"{input}";
inline constexpr wchar_t kOutputPlaceholder[] = L"{output}";

enum class WaitResult { kReady, kClosed, kTimedOut };

class ServerProcess {
public:
    ServerProcess() = default;
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    [[nodiscard]] bool Start(const ServerLaunch& launch);

    // Waits for the next "ready:" line; what the server wrote before it (since
    // the previous prompt) goes to `output`, the prompt itself does not.
    [[nodiscard]] WaitResult WaitForReady(DWORD timeoutMilliseconds, std::string& output);
    // Writes the request line and its line feed in one write.
    [[nodiscard]] bool SendRequest(const std::string& utf8Line);
    // Writes raw bytes as they are (tests of the line protocol).
    [[nodiscard]] bool SendBytes(const std::string& bytes);
    void CloseInput();

    // The exit code, or nothing when the process has not ended in time.
    std::optional<DWORD> WaitForExit(DWORD timeoutMilliseconds);
    void Terminate();
    // Blocks until the server has closed its end of the output pipe.
    void WaitForOutputClosed();

    // Every byte the server has written so far when the launch keeps the
    // transcript; otherwise what no wait has handed out yet.
    std::string Transcript();
    HANDLE Process() const { return process_.Get(); }
    DWORD ProcessId() const { return processId_; }

private:
    void ReadOutput();
    void DropHandedOut();

    UniqueHandle process_;
    UniqueHandle input_;   // our end of the request pipe
    UniqueHandle output_;  // our end of the answer pipe
    DWORD processId_ = 0;

    std::thread reader_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::string transcript_;
    bool keepTranscript_ = false;
    size_t consumed_ = 0;
    size_t searchFrom_ = 0;  // where the reader looks for the next prompt
    bool closed_ = false;
};

// The two anonymous pipes of one server: the ends the host keeps, and the
// ends the server is handed on its command line.
struct ServerPipes {
    UniqueHandle childInput;
    UniqueHandle hostInput;
    UniqueHandle hostOutput;
    UniqueHandle childOutput;
};

[[nodiscard]] bool CreateServerPipes(ServerPipes& pipes);

// The command line argument form of a handle value: hexadecimal, no prefix.
std::wstring HexArgument(uint64_t value);
// The folder of the running program, ending in a backslash.
std::wstring ProgramDirectory();

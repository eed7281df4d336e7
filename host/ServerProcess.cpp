#include "host/ServerProcess.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "host/ArgumentQuoting.h"
#include "protocol/HexDigits.h"
#include "protocol/Protocol.h"

namespace {

// Handles are made inheritable only while one server is being created, so
// that servers started side by side never hold each other's pipe ends (which
// would keep a dead server's output pipe open).
std::mutex& ProcessCreationLock() {
    static std::mutex lock;
    return lock;
}

// Finds a prompt line that starts at or after `from` at the start of a line.
size_t FindPrompt(const std::string& text, size_t from) {
    for (size_t at = text.find(protocol::kPromptLine, from); at != std::string::npos;
         at = text.find(protocol::kPromptLine, at + 1)) {
        if (at == 0 || text[at - 1] == '\n') return at;
    }
    return std::string::npos;
}

bool WriteAll(HANDLE handle, const std::string& bytes) {
    DWORD written = 0;
    return WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

}  // namespace

std::wstring HexArgument(uint64_t value) {
    std::wstring text;
    do {
        text.insert(text.begin(), static_cast<wchar_t>(
                                      protocol::UpperHexDigit(static_cast<unsigned>(value & 0xF))));
        value >>= 4;
    } while (value);
    return text;
}

std::wstring ProgramDirectory() {
    std::wstring path(32768, L'\0');
    DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(length);
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

ServerProcess::~ServerProcess() {
    CloseInput();
    if (process_.IsValid() && !WaitForExit(10000)) Terminate();
    if (reader_.joinable()) reader_.join();
}

bool CreateServerPipes(ServerPipes& pipes) {
    HANDLE read = nullptr, write = nullptr;
    if (!CreatePipe(&read, &write, nullptr, 0)) return false;
    pipes.childInput.Reset(read);
    pipes.hostInput.Reset(write);
    if (!CreatePipe(&read, &write, nullptr, 0)) return false;
    pipes.hostOutput.Reset(read);
    pipes.childOutput.Reset(write);
    return true;
}

bool ServerProcess::Start(const ServerLaunch& launch) {
    ServerPipes pipes;
    if (!CreateServerPipes(pipes)) return false;
    input_ = std::move(pipes.hostInput);
    output_ = std::move(pipes.hostOutput);
    const HANDLE childInput = pipes.childInput.Get();
    const HANDLE childOutput = pipes.childOutput.Get();

    std::wstring commandLine = QuoteArgument(launch.serverPath);
    if (launch.argumentsInstead) {
        for (const std::wstring& argument : *launch.argumentsInstead) {
            if (argument == kInputPlaceholder) {
                commandLine += L" " + HexArgument(reinterpret_cast<uintptr_t>(childInput));
            } else if (argument == kOutputPlaceholder) {
                commandLine += L" " + HexArgument(reinterpret_cast<uintptr_t>(childOutput));
            } else {
                commandLine += L" " + QuoteArgument(argument);
            }
        }
    } else {
        commandLine += L" " + HexArgument(reinterpret_cast<uintptr_t>(childInput));
        commandLine += L" " + HexArgument(reinterpret_cast<uintptr_t>(childOutput));
        commandLine += L" " + HexArgument(launch.ownerWindow);
        if (launch.dumpDirectory) commandLine += L" " + QuoteArgument(*launch.dumpDirectory);
    }

    // With the usual arguments the server has no standard handles: under Wine,
    // processes the server starts in turn (explorer.exe for its first window)
    // get copies of them and would keep the answer pipe open after the server
    // has ended. Nor does it get ours, for the same reason.
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    if (launch.argumentsInstead) {
        startup.hStdInput = childInput;
        startup.hStdOutput = childOutput;
        startup.hStdError = childOutput;
    }
    PROCESS_INFORMATION created = {};
    BOOL started;
    DWORD startError;
    {
        std::lock_guard<std::mutex> creating(ProcessCreationLock());
        SetHandleInformation(childInput, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
        SetHandleInformation(childOutput, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
        started = CreateProcessW(launch.serverPath.c_str(), commandLine.data(), nullptr, nullptr,
                                 TRUE, 0, nullptr, nullptr, &startup, &created);
        startError = GetLastError();
        SetHandleInformation(childInput, HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(childOutput, HANDLE_FLAG_INHERIT, 0);
    }
    // The caller reports why the server did not start, not what the cleanup said.
    if (!started) {
        SetLastError(startError);
        return false;
    }
    UniqueHandle thread(created.hThread);
    process_.Reset(created.hProcess);
    processId_ = created.dwProcessId;
    keepTranscript_ = launch.keepTranscript;
    reader_ = std::thread([this] { ReadOutput(); });
    return true;
}

// The waiter is woken only when a prompt has come in or the pipe has closed:
// under Wine a chunk is mostly one line, and waking for each would cost a
// thread switch per line. A prompt split across reads is found once its last
// byte is in, since the search starts early enough to see its first.
void ServerProcess::ReadOutput() {
    char buffer[4096];
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(output_.Get(), buffer, sizeof(buffer), &read, nullptr) || read == 0) break;
        std::lock_guard<std::mutex> guard(mutex_);
        transcript_.append(buffer, read);
        size_t prompt = FindPrompt(transcript_, searchFrom_);
        size_t partial = transcript_.size() -
                         std::min<size_t>(transcript_.size(), protocol::kPromptLineBytes - 1);
        if (prompt == std::string::npos) {
            searchFrom_ = std::max(searchFrom_, partial);
        } else {
            searchFrom_ = std::max<size_t>(prompt + protocol::kPromptLineBytes, partial);
            changed_.notify_all();
        }
    }
    std::lock_guard<std::mutex> guard(mutex_);
    closed_ = true;
    changed_.notify_all();
}

WaitResult ServerProcess::WaitForReady(DWORD timeoutMilliseconds, std::string& output) {
    std::unique_lock<std::mutex> guard(mutex_);
    size_t prompt = std::string::npos;
    bool done = changed_.wait_for(guard, std::chrono::milliseconds(timeoutMilliseconds), [&] {
        prompt = FindPrompt(transcript_, consumed_);
        return prompt != std::string::npos || closed_;
    });
    if (prompt != std::string::npos) {
        output.assign(transcript_, consumed_, prompt - consumed_);
        consumed_ = prompt + protocol::kPromptLineBytes;
        DropHandedOut();
        return WaitResult::kReady;
    }
    output.assign(transcript_, consumed_, std::string::npos);
    consumed_ = transcript_.size();
    DropHandedOut();
    return done ? WaitResult::kClosed : WaitResult::kTimedOut;
}

// Called with the lock held. The reader's search position moves with the text.
void ServerProcess::DropHandedOut() {
    if (keepTranscript_) return;
    transcript_.erase(0, consumed_);
    searchFrom_ -= std::min(searchFrom_, consumed_);
    consumed_ = 0;
}

bool ServerProcess::SendRequest(const std::string& utf8Line) {
    return input_.IsValid() && WriteAll(input_.Get(), utf8Line + "\n");
}

bool ServerProcess::SendBytes(const std::string& bytes) {
    return input_.IsValid() && WriteAll(input_.Get(), bytes);
}

void ServerProcess::CloseInput() {
    input_.Close();
}

std::optional<DWORD> ServerProcess::WaitForExit(DWORD timeoutMilliseconds) {
    if (!process_.IsValid() ||
        WaitForSingleObject(process_.Get(), timeoutMilliseconds) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(process_.Get(), &exitCode);
    return exitCode;
}

void ServerProcess::Terminate() {
    if (process_.IsValid()) {
        TerminateProcess(process_.Get(), 1);
        WaitForSingleObject(process_.Get(), INFINITE);
    }
}

void ServerProcess::WaitForOutputClosed() {
    std::unique_lock<std::mutex> guard(mutex_);
    changed_.wait(guard, [this] { return closed_; });
}

std::string ServerProcess::Transcript() {
    std::lock_guard<std::mutex> guard(mutex_);
    return transcript_;
}

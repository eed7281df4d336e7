// One scan server as a host uses it: started with its pipes, owner window and
// dump directory, asked one request at a time, its answer sorted by channel
// and its report read, and its end told apart: an end while a request is in
// flight is the plugin's doing (with its exit code, and the dump it left and
// the module that dump names as faulting), an end before the request reached
// it the server's.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/AnyReport.h"
#include "host/ChannelLines.h"
#include "host/DumpFolder.h"
#include "host/ServerProcess.h"

// kCrashed: the server ended, or closed its output, while the request was in
// flight. kTimedOut: no answer in time, and the server was ended. kServerFailed:
// the server had ended before the request reached it.
enum class ScanEnd { kAnswered, kCrashed, kTimedOut, kServerFailed };

struct ScanAnswer {
    ScanEnd end = ScanEnd::kServerFailed;
    ChannelLines lines;
    // When the report was there and well formed: of the format it names.
    std::optional<AnyReport> report;
    // When the server ended by itself; none when it had to be ended.
    std::optional<DWORD> exitCode;
    std::wstring dumpPath;     // when it ended and left a new dump
    std::wstring faultModule;  // the module that dump names as faulting, if it names one
};

// Why the server ended, named by its exit code where the code is known:
// "The plugin aborted the scan server (exit code 3)".
std::string ServerEndText(ScanEnd end, std::optional<DWORD> exitCode);

struct ServerSettings {
    std::wstring serverPath;
    uint64_t ownerWindow = 0;
    // Where the server writes its dumps; it must exist. Empty: no dumps.
    std::wstring dumpDirectory;
    DWORD startTimeoutMilliseconds = 60000;
};

// The request for one sub-plugin of a shell: "path>ID", the id in hexadecimal.
std::wstring ShellRequest(const std::wstring& libraryPath, uint32_t shellId);

class ScanClient {
public:
    explicit ScanClient(ServerSettings settings);
    ScanClient(const ScanClient&) = delete;
    ScanClient& operator=(const ScanClient&) = delete;

    // Starts a server and waits for its first prompt; `failure` says why not.
    [[nodiscard]] bool Start(std::string& failure);
    bool IsRunning() const { return server_ != nullptr; }
    // Sends one request to the running server and waits for the next prompt.
    // Unless the answer came, the server is gone afterwards (a timed-out one
    // is ended here) and Start has to be called again. A server that has begun
    // a dump when the time is up is given the time to finish it.
    ScanAnswer Scan(const std::wstring& request, DWORD timeoutMilliseconds);
    // Closes the server's input and waits for its orderly end.
    void Stop();

private:
    void EndServer(ScanAnswer& answer);

    ServerSettings settings_;
    std::unique_ptr<ServerProcess> server_;
    // The dumps there were when the server started. A server writes a dump
    // only as it ends, so the folder is not listed again after each answer;
    // a dump written while it waited for the next request is found too.
    DumpFiles dumpsBefore_;
};

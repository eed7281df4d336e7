// Starts the scan server the way a host does, sends each request after the
// server's "ready:", closes its end when done, and prints every byte the
// server wrote followed by the server's exit code.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host/ServerProcess.h"
#include "host/Text.h"

namespace {

int Usage() {
    std::fputs(
        "usage: test-host [--owner HEX] [--dump DIRECTORY] SERVER.exe [REQUEST...]\n"
        "Each REQUEST is one line sent after the server's \"ready:\" prompt.\n",
        stderr);
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    ServerLaunch launch;
    launch.keepTranscript = true;
    std::vector<std::wstring> requests;
    int at = 1;
    for (; at < argc && argv[at][0] == L'-' && argv[at][1] == L'-'; at += 2) {
        if (at + 1 >= argc) return Usage();
        std::wstring option = argv[at];
        if (option == L"--owner") {
            launch.ownerWindow = wcstoull(argv[at + 1], nullptr, 16);
        } else if (option == L"--dump") {
            launch.dumpDirectory = argv[at + 1];
        } else {
            return Usage();
        }
    }
    if (at >= argc) return Usage();
    launch.serverPath = argv[at++];
    for (; at < argc; ++at) requests.push_back(argv[at]);

    ServerProcess server;
    if (!server.Start(launch)) {
        std::fprintf(stderr, "test-host: cannot start the server (error %lu)\n", GetLastError());
        return 1;
    }
    std::string ignored;
    for (const std::wstring& request : requests) {
        if (server.WaitForReady(INFINITE, ignored) != WaitResult::kReady) break;
        if (!server.SendRequest(Utf8FromWide(request))) break;
    }
    // The last answer ends in a prompt or in a closed pipe; either way the input closes now.
    static_cast<void>(server.WaitForReady(INFINITE, ignored));
    server.CloseInput();
    server.WaitForOutputClosed();
    std::optional<DWORD> exitCode = server.WaitForExit(INFINITE);

    std::string transcript = server.Transcript();
    _setmode(_fileno(stdout), _O_BINARY);
    std::fwrite(transcript.data(), 1, transcript.size(), stdout);
    std::fflush(stdout);
    std::fprintf(stderr, "exit code: %lu\n", exitCode ? *exitCode : 0ul);
    return 0;
}

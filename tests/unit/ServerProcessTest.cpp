// host/ServerProcess against a child that writes scripted bytes: this test
// program itself, started with --write-script, writes one chunk, pauses so the
// reader takes it alone, writes the next, and ends. An empty chunk stands for
// waiting for a request, as a server does after its prompt.
#include <gtest/gtest.h>
#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

#include "host/ServerProcess.h"

namespace {

constexpr wchar_t kScriptOption[] = L"--write-script";

// Each script is a list of chunks; the chunks of script N follow "--write-script N".
const std::vector<std::vector<std::string>> kScripts = {
    // A prompt split across two reads, then one whole, then the pipe closes.
    {"info:first\nrea", "dy:\n", "", "info:second\nready:\n"},
    // The pipe closes right after a prompt that came in one piece with its lines.
    {"ready:\ninfo:only\nready:\n"},
};

// Runs before the tests when this program is the scripted child.
const bool kIsScriptWriter = [] {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (count != 3 || std::wcscmp(arguments[1], kScriptOption) != 0) return false;
    const std::vector<std::string>& chunks = kScripts[std::wcstoul(arguments[2], nullptr, 10)];
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    for (const std::string& chunk : chunks) {
        if (chunk.empty()) {
            char request[64];
            DWORD read = 0;
            ReadFile(GetStdHandle(STD_INPUT_HANDLE), request, sizeof(request), &read, nullptr);
            continue;
        }
        DWORD written = 0;
        WriteFile(output, chunk.data(), static_cast<DWORD>(chunk.size()), &written, nullptr);
        FlushFileBuffers(output);
        Sleep(200);
    }
    ExitProcess(0);
}();

bool StartScript(ServerProcess& child, size_t script, bool keepTranscript) {
    ServerLaunch launch;
    launch.serverPath = ProgramDirectory() + L"unit-tests.exe";
    launch.argumentsInstead = std::vector<std::wstring>{kScriptOption, std::to_wstring(script)};
    launch.keepTranscript = keepTranscript;
    return child.Start(launch);
}

struct Wait {
    WaitResult result;
    std::string output;
};

TEST(ServerProcess, EveryPromptWakesTheWaiterAndNoLineIsLost) {
    const std::vector<std::vector<Wait>> expected = {
        {{WaitResult::kReady, "info:first\n"},
         {WaitResult::kReady, "info:second\n"},
         {WaitResult::kClosed, ""}},
        {{WaitResult::kReady, ""}, {WaitResult::kReady, "info:only\n"}, {WaitResult::kClosed, ""}},
    };
    // Kept or dropped once handed out, the transcript must not change what the waits see.
    for (bool keepTranscript : {false, true}) {
        for (size_t script = 0; script < expected.size(); ++script) {
            ServerProcess child;
            ASSERT_TRUE(StartScript(child, script, keepTranscript));
            for (const Wait& wait : expected[script]) {
                std::string output;
                ASSERT_EQ(child.WaitForReady(60000, output), wait.result) << script;
                EXPECT_EQ(output, wait.output) << script;
                // A child that has ended fails the write; the next wait tells.
                if (wait.result == WaitResult::kReady) static_cast<void>(child.SendRequest("next"));
            }
            EXPECT_EQ(child.WaitForExit(60000), std::optional<DWORD>(0));
            std::string everything;
            for (const std::string& chunk : kScripts[script]) everything += chunk;
            EXPECT_EQ(child.Transcript(), keepTranscript ? everything : "") << script;
        }
    }
}

}  // namespace

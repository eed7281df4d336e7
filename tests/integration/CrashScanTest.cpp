// Plugins that crash the server: whichever thread faults, and whatever filter
// the plugin installed, the server leaves one minidump and exits with 9.
#include <gtest/gtest.h>

#include <fstream>

#include "host/DumpFolder.h"
#include "protocol/Protocol.h"
#include "support/ServerSession.h"

namespace {

std::wstring FreshDumpDirectory(const std::wstring& name) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring directory =
        std::wstring(temp) + L"crash-scan-" + name + L"-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(directory.c_str(), nullptr);
    return directory;
}

std::string FirstBytes(const std::wstring& path, size_t count) {
    std::ifstream file(path.c_str(), std::ios::binary);
    std::string bytes(count, '\0');
    file.read(bytes.data(), static_cast<std::streamsize>(count));
    bytes.resize(static_cast<size_t>(file.gcount()));
    return bytes;
}

struct CrashCase {
    const wchar_t* plugin;
    // The last line the server wrote before the plugin brought it down.
    const char* lastLine;
};

class CrashScan : public testing::TestWithParam<CrashCase> {};

TEST_P(CrashScan, EndsWithExitCodeNineAndOneDump) {
    const CrashCase& crash = GetParam();
    std::wstring dumps = FreshDumpDirectory(crash.plugin);
    ServerLaunch launch;
    launch.dumpDirectory = dumps;
    Session session =
        RunSession({Utf8FromWide(PluginPath(crash.plugin)), "never-sent.dll"}, launch);
    ASSERT_TRUE(session.exited);
    EXPECT_EQ(session.exitCode, protocol::kCrashExitCode);
    std::string ending = std::string(crash.lastLine) + "\n";
    ASSERT_GE(session.transcript.size(), ending.size()) << session.transcript;
    EXPECT_EQ(session.transcript.substr(session.transcript.size() - ending.size()), ending);
    EXPECT_EQ(session.transcript.find(">:"), std::string::npos);
    std::wstring dump = NewDump(dumps, {});
    ASSERT_EQ(ListDumps(dumps).size(), 1u);
    EXPECT_EQ(FirstBytes(dump, 4), "MDMP");
    DeleteFileW(dump.c_str());
    RemoveDirectoryW(dumps.c_str());
}

INSTANTIATE_TEST_SUITE_P(
    Plugins, CrashScan,
    testing::Values(CrashCase{L"crash-entry", "info:Calling entry point..."},
                    CrashCase{L"crash-dispatcher", "info:Calling entry point..."},
                    CrashCase{L"crash-thread", "info:Calling entry point..."},
                    CrashCase{L"crash-own-filter-entry", "info:Calling entry point..."},
                    CrashCase{L"crash-own-filter-dllmain", "info:Calling entry point..."}),
    [](const testing::TestParamInfo<CrashCase>& info) {
        std::string name;
        for (const wchar_t* c = info.param.plugin; *c; ++c) {
            name += *c == L'-' ? '_' : static_cast<char>(*c);
        }
        return name;
    });

TEST(CrashScanWithoutDumps, ExitCodeIsNineAndNoFileAppears) {
    std::wstring watched = FreshDumpDirectory(L"no-dump");
    ServerLaunch launch;
    launch.dumpDirectory = L"";
    Session session = RunSession({Utf8FromWide(PluginPath(L"crash-dispatcher"))}, launch);
    ASSERT_TRUE(session.exited);
    EXPECT_EQ(session.exitCode, protocol::kCrashExitCode);
    EXPECT_TRUE(ListDumps(watched).empty());
    RemoveDirectoryW(watched.c_str());
}

}  // namespace

// Plugins that crash the server: whichever thread faults, and whatever filter
// the plugin installed, the server leaves one minidump and exits with 9.
#include <gtest/gtest.h>

#include "host/DumpFolder.h"
#include "protocol/Protocol.h"
#include "support/ServerSession.h"

namespace {

struct CrashCase {
    const wchar_t* plugin;
    // The last line the server wrote before the plugin brought it down.
    const char* lastLine;
};

class CrashScan : public testing::TestWithParam<CrashCase> {};

TEST_P(CrashScan, EndsWithExitCodeNineAndOneDump) {
    ExpectCrashWithOneDump(PluginPath(GetParam().plugin), GetParam().lastLine);
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
    std::wstring watched = FreshDumpFolder();
    ServerLaunch launch;
    launch.dumpDirectory = L"";
    Session session = RunSession({Utf8FromWide(PluginPath(L"crash-dispatcher"))}, launch);
    ASSERT_TRUE(session.exited);
    EXPECT_EQ(session.exitCode, protocol::kCrashExitCode);
    EXPECT_TRUE(ListDumps(watched).empty());
    RemoveDirectoryW(watched.c_str());
}

}  // namespace

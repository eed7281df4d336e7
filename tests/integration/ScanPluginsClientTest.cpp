// The host client library against the real server and test plugins: the
// answer sorted by channel, shells asked on the same server, and the ends of
// a server told apart.
#include <gtest/gtest.h>

#include "host/ScanClient.h"
#include "host/Text.h"
#include "protocol/Protocol.h"
#include "support/ScanPluginsSupport.h"
#include "support/ServerSession.h"

namespace {

constexpr DWORD kAmpleMilliseconds = 120000;

// The answer's VST 2 report; an empty one, failing the test, when it has none.
Vst2Report Vst2Of(const ScanAnswer& answer) {
    const Vst2Report* report = answer.report ? std::get_if<Vst2Report>(&*answer.report) : nullptr;
    EXPECT_NE(report, nullptr);
    return report != nullptr ? *report : Vst2Report();
}

class ScanClientTest : public ::testing::Test {
protected:
    ScanClient& Client(const std::wstring& dumpDirectory = L"") {
        ServerSettings settings;
        settings.serverPath = ServerPath();
        settings.dumpDirectory = dumpDirectory;
        client_ = std::make_unique<ScanClient>(settings);
        std::string failure;
        EXPECT_TRUE(client_->Start(failure)) << failure;
        return *client_;
    }

    std::unique_ptr<ScanClient> client_;
};

TEST_F(ScanClientTest, TextsAreUnescapedToUtf8) {
    ScanAnswer answer = Client().Scan(PluginPath(L"special-texts"), kAmpleMilliseconds);
    ASSERT_EQ(answer.end, ScanEnd::kAnswered);
    ASSERT_TRUE(answer.report.has_value());
    EXPECT_EQ(Vst2Of(answer).name, "Quote \" Backslash \\ Slash / Tab \t End");
    EXPECT_EQ(Vst2Of(answer).vendor, "Caf\xC3\xA9 \x01\x1F\x7F ~");
    EXPECT_EQ(Vst2Of(answer).product, "\xC3\x83\xC2\xA9 \b\f\n\r");
    EXPECT_EQ(Vst2Of(answer).id, 0x54547370u);
    EXPECT_TRUE(answer.lines.errors.empty());
}

TEST_F(ScanClientTest, LinesAreSortedByChannel) {
    ScanClient& client = Client();
    ScanAnswer failed = client.Scan(PluginPath(L"entry-null"), kAmpleMilliseconds);
    ASSERT_EQ(failed.end, ScanEnd::kAnswered);
    EXPECT_EQ(failed.lines.errors, std::vector<std::string>{"Entry point returned NULL"});
    EXPECT_EQ(Vst2Of(failed).error, "Entry point returned NULL");
    EXPECT_EQ(Vst2Of(failed).version, "3.1.4.1");
    ASSERT_FALSE(failed.lines.info.empty());
    EXPECT_EQ(failed.lines.info[0],
              "Scanning plugin: '" + Utf8FromWide(PluginPath(L"entry-null")) + "'");
    EXPECT_EQ(failed.lines.report.front(), "{");
    EXPECT_EQ(failed.lines.report.back(), "}");
    EXPECT_TRUE(failed.lines.other.empty());

    ScanAnswer queries = client.Scan(PluginPath(L"host-queries"), kAmpleMilliseconds);
    ASSERT_TRUE(queries.report.has_value());
    EXPECT_EQ(queries.lines.warnings,
              (std::vector<std::string>{
                  "Unhandled audioMaster opCode - 5", "Unhandled audioMaster opCode - 7",
                  "Unhandled audioMaster opCode - 13", "Unhandled audioMaster opCode - 100",
                  "Unhandled audioMaster opCode - -1"}));
    EXPECT_TRUE(queries.lines.errors.empty());
}

TEST_F(ScanClientTest, ShellKeepsTheServersOrderAndItsSubPluginsComeFromTheSameServer) {
    ScanClient& client = Client();
    std::wstring shell = PluginPath(L"shell-unnamed");
    ScanAnswer listing = client.Scan(shell, kAmpleMilliseconds);
    ASSERT_TRUE(listing.report.has_value());
    EXPECT_EQ(Vst2Of(listing).category, protocol::kShellCategory);
    EXPECT_EQ(Vst2Of(listing).shells,
              (std::vector<ShellPlugin>{{0x80000001u, ""}, {0x00000011u, ""}}));

    EXPECT_EQ(ShellRequest(shell, 0x80000001u), shell + L">80000001");
    ScanAnswer sub = client.Scan(ShellRequest(shell, 0x80000001u), kAmpleMilliseconds);
    ASSERT_TRUE(sub.report.has_value());
    EXPECT_EQ(Vst2Of(sub).id, 0x80000001u);
    EXPECT_EQ(Vst2Of(sub).name, "High Bit");
    EXPECT_EQ(std::count(sub.lines.info.begin(), sub.lines.info.end(),
                         "Re-using previous library instance..."),
              1);
}

// The limit is shorter than the dump takes under Wine: a server that has
// begun its dump still counts as crashed, not as timed out.
TEST_F(ScanClientTest, CrashGivesExitCodeNineAndTheNewDump) {
    TempFolder dumps;
    dumps.WriteFile(L"ScanServer-x64-2000-01-01-00-00-00.mdmp", "older dump");
    ScanClient& client = Client(dumps.Path());
    ScanAnswer crashed = client.Scan(PluginPath(L"crash-entry"), 4000);
    EXPECT_EQ(crashed.end, ScanEnd::kCrashed);
    EXPECT_EQ(crashed.exitCode, std::optional<DWORD>(protocol::kCrashExitCode));
    EXPECT_FALSE(crashed.report.has_value());
    EXPECT_FALSE(client.IsRunning());
    std::vector<std::wstring> files = FilesIn(dumps.Path(), L"*.mdmp");
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(crashed.dumpPath, dumps.Path() + L"\\" + files[1]);
    EXPECT_EQ(ReadBytes(crashed.dumpPath).substr(0, 4), "MDMP");
    EXPECT_EQ(crashed.faultModule, PluginPath(L"crash-entry"));
    EXPECT_EQ(crashed.lines.info.back(), "Calling entry point...");

    std::string failure;
    ASSERT_TRUE(client.Start(failure)) << failure;
    ScanAnswer after = client.Scan(PluginPath(L"synth"), kAmpleMilliseconds);
    ASSERT_TRUE(after.report.has_value());
    EXPECT_EQ(Vst2Of(after).name, "Test Synth");
}

TEST_F(ScanClientTest, CrashWithoutDumpDirectoryHasNoDump) {
    ScanAnswer crashed = Client().Scan(PluginPath(L"crash-dispatcher"), kAmpleMilliseconds);
    EXPECT_EQ(crashed.end, ScanEnd::kCrashed);
    EXPECT_EQ(crashed.exitCode, std::optional<DWORD>(protocol::kCrashExitCode));
    EXPECT_TRUE(crashed.dumpPath.empty());
}

TEST_F(ScanClientTest, HangingPluginTimesOutAndTheServerIsEnded) {
    ScanClient& client = Client();
    ScanAnswer hung = client.Scan(PluginPath(L"hang"), 2000);
    EXPECT_EQ(hung.end, ScanEnd::kTimedOut);
    EXPECT_FALSE(client.IsRunning());
    EXPECT_EQ(hung.lines.info.back(), "Calling entry point...");
    std::string failure;
    ASSERT_TRUE(client.Start(failure)) << failure;
    EXPECT_TRUE(client.Scan(PluginPath(L"effect"), kAmpleMilliseconds).report.has_value());
}

TEST(ScanClientStart, ServerThatCannotStartIsExplained) {
    ServerSettings missing;
    missing.serverPath = ProgramDirectory() + L"no-such-server.exe";
    ScanClient absent(missing);
    std::string failure;
    EXPECT_FALSE(absent.Start(failure));
    EXPECT_EQ(
        failure.rfind("cannot start the scan server " + Utf8FromWide(missing.serverPath) + ": ", 0),
        0u)
        << failure;

    ServerSettings other;
    other.serverPath = ProgramDirectory() + L"test-host.exe";
    ScanClient notAServer(other);
    EXPECT_FALSE(notAServer.Start(failure));
    // test-host takes the pipe handle values for a server path and gives up.
    EXPECT_EQ(failure, "the scan server " + Utf8FromWide(other.serverPath) +
                           " ended before its first \"ready:\" prompt (exit code 1)");
}

}  // namespace

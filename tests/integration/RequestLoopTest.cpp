// The server's line protocol through real pipes: start-up, prompts, request
// lines as the host may send them, and shutdown.
#include <gtest/gtest.h>

#include "protocol/Protocol.h"
#include "support/ServerSession.h"

namespace {

const std::string kBanner = "info:Marlowind Plugin Scan Server (x64)\n";

std::string ScanningLine(const std::string& request) {
    return "info:Scanning plugin: '" + request + "'\n";
}

TEST(RequestLoop, InputClosedAtOnceEndsCleanlyAfterOnePrompt) {
    Session session = RunSession({});
    ASSERT_TRUE(session.exited);
    EXPECT_EQ(session.exitCode, 0u);
    EXPECT_EQ(session.transcript, kBanner + protocol::kPromptLine);
}

TEST(RequestLoop, EveryRequestIsFollowedByExactlyOneNewPrompt) {
    Session session = RunSession({"missing-one.dll", "missing-two.dll"});
    ASSERT_TRUE(session.exited);
    EXPECT_EQ(session.exitCode, 0u);
    std::vector<std::string> lines = SplitLines(session.transcript);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], kBanner);
    EXPECT_EQ(lines[1], protocol::kPromptLine);
    EXPECT_EQ(lines[2], ScanningLine("missing-one.dll"));
    EXPECT_EQ(CountLines(session.transcript, protocol::kPromptLine), 3u);
    EXPECT_EQ(lines.back(), protocol::kPromptLine);
    EXPECT_EQ(SplitLines(session.transcript)[lines.size() - 2], ">:}\n");
}

TEST(RequestLoop, OnlyTheFirstOfTwoLinesInOneReadIsScanned) {
    ServerProcess server;
    ServerLaunch launch;
    launch.serverPath = ServerPath();
    ASSERT_TRUE(server.Start(launch));
    std::string output;
    ASSERT_EQ(server.WaitForReady(60000, output), WaitResult::kReady);
    ASSERT_TRUE(server.SendBytes("first.dll\nsecond.dll\n"));
    ASSERT_EQ(server.WaitForReady(60000, output), WaitResult::kReady);
    EXPECT_EQ(CountLines(output, ScanningLine("first.dll")), 1u);
    EXPECT_EQ(output.find("second.dll"), std::string::npos);
    server.CloseInput();
    EXPECT_EQ(server.WaitForExit(60000), std::optional<DWORD>(0));
}

TEST(RequestLoop, CarriageReturnStaysInThePath) {
    Session session = RunSession({"crlf.dll\r"});
    EXPECT_EQ(CountLines(session.transcript, ScanningLine("crlf.dll\r")), 1u);
}

TEST(RequestLoop, NonAsciiPathArrivesAsUtf8) {
    std::string path = Utf8FromWide(L"C:\\Plugins\\Caf\u00e9 \u65e5\u672c.dll");
    Session session = RunSession({path});
    EXPECT_EQ(CountLines(session.transcript, ScanningLine(path)), 1u);
}

TEST(RequestLoop, RequestLongerThanOneReadIsTakenWhole) {
    std::string path = "C:\\" + std::string(1500, 'p') + ".dll";
    Session session = RunSession({path, "after.dll"});
    EXPECT_EQ(CountLines(session.transcript, ScanningLine(path)), 1u);
    EXPECT_EQ(CountLines(session.transcript, ScanningLine("after.dll")), 1u);
    EXPECT_EQ(CountLines(session.transcript, protocol::kPromptLine), 3u);
}

TEST(RequestLoop, OversizedRequestIsRejectedAndTheServerGoesOn) {
    std::string huge(70 * 1024, 'x');
    Session session = RunSession({huge, "after.dll"});
    ASSERT_TRUE(session.exited);
    EXPECT_EQ(session.exitCode, 0u);
    const std::string error = "Request longer than 65536 bytes, not scanned";
    std::string rejected = std::string(protocol::kPromptLine) + "error:" + error + "\n" +
                           EmptyReportText(error) + protocol::kPromptLine +
                           ScanningLine("after.dll");
    EXPECT_NE(session.transcript.find(rejected), std::string::npos) << session.transcript;
    EXPECT_EQ(session.transcript.find("xxxx"), std::string::npos);
}

TEST(RequestLoop, RequestOfExactlyTheLimitIsScanned) {
    std::string path(65536, 'y');
    Session session = RunSession({path});
    EXPECT_EQ(CountLines(session.transcript, ScanningLine(path)), 1u);
}

TEST(DisplayMode, WithoutArgumentsTheBannerGoesToStandardOutputAndNoPromptFollows) {
    for (const std::vector<std::wstring>& arguments :
         {std::vector<std::wstring>{}, std::vector<std::wstring>{L"0", kOutputPlaceholder}}) {
        ServerProcess server;
        ServerLaunch launch;
        launch.serverPath = ServerPath();
        launch.argumentsInstead = arguments;
        ASSERT_TRUE(server.Start(launch));
        std::string output;
        // The server waits in its window message loop: no prompt ever comes.
        EXPECT_EQ(server.WaitForReady(3000, output), WaitResult::kTimedOut);
        EXPECT_EQ(output, kBanner);
        EXPECT_FALSE(server.WaitForExit(0).has_value());
        server.Terminate();
    }
}

}  // namespace

// Thousands of requests through one server: nothing may accumulate, neither
// handles nor private memory, whether libraries are loaded afresh or reused.
#include <gtest/gtest.h>

#include <regex>

#include "support/ServerSession.h"

namespace {

struct Usage {
    unsigned long long handles = 0;
    unsigned long long privateBytes = 0;
};

std::string ScanOnce(ServerProcess& server, const std::string& request) {
    std::string output;
    EXPECT_TRUE(server.SendRequest(request));
    EXPECT_EQ(server.WaitForReady(60000, output), WaitResult::kReady);
    return output;
}

// The process-usage plugin measures the server from inside and reports the
// figures as its vendor text.
Usage MeasureUsage(ServerProcess& server) {
    std::string output = ScanOnce(server, Utf8FromWide(PluginPath(L"process-usage")));
    std::smatch figures;
    Usage usage;
    if (std::regex_search(output, figures, std::regex("handles=([0-9]+) private=([0-9]+)"))) {
        usage.handles = std::stoull(figures[1].str());
        usage.privateBytes = std::stoull(figures[2].str());
    }
    return usage;
}

void Scan(ServerProcess& server, const std::vector<std::string>& requests, int rounds) {
    for (int round = 0; round < rounds; ++round) {
        for (const std::string& request : requests) {
            std::string output = ScanOnce(server, request);
            ASSERT_NE(output.find(">:}\n"), std::string::npos) << output;
        }
    }
}

// Loads and frees go to the runtime-free bare plugin, since a plugin's own
// runtime may keep memory on every load; the shell stays cached meanwhile.
void ScanMany(ServerProcess& server, int rounds) {
    const std::string shell = Utf8FromWide(PluginPath(L"shell"));
    Scan(server, {Utf8FromWide(PluginPath(L"bare")), Utf8FromWide(PluginPath(L"missing"))}, rounds);
    Scan(server, {shell}, 1);
    Scan(server, {shell + ">5", shell + ">9", shell}, rounds / 2);
}

TEST(Soak, ThousandsOfRequestsLeaveNothingBehind) {
    ServerLaunch launch;
    launch.serverPath = ServerPath();
    ServerProcess server;
    ASSERT_TRUE(server.Start(launch));
    std::string output;
    ASSERT_EQ(server.WaitForReady(60000, output), WaitResult::kReady);

    // Warm up first: the heap and the loader settle during the first requests.
    ScanMany(server, 100);
    Usage before = MeasureUsage(server);
    ScanMany(server, 1000);
    Usage after = MeasureUsage(server);

    ASSERT_GT(before.privateBytes, 0u);
    ASSERT_GT(before.handles, 0u);
    EXPECT_LE(after.handles, before.handles);
    EXPECT_LE(after.privateBytes, before.privateBytes + 64 * 1024)
        << "private bytes grew from " << before.privateBytes << " to " << after.privateBytes;
    server.CloseInput();
    EXPECT_EQ(server.WaitForExit(60000), std::optional<DWORD>(0));
}

}  // namespace

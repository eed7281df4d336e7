// Plugins and hosts that turn against the server: no text of theirs forges a
// line of the protocol, no output of a plugin reaches the pipes, a cut request
// is never scanned, and every way a plugin brings the server down ends in one
// whole dump and exit code 9.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <regex>

#include "host/DumpFolder.h"
#include "host/MinidumpReader.h"
#include "protocol/Protocol.h"
#include "support/ScanPluginsSupport.h"
#include "support/ServerSession.h"

namespace {

const std::string kBanner = "info:Marlowind Plugin Scan Server (x64)\n";

std::string PluginUtf8(const wchar_t* name) {
    return Utf8FromWide(PluginPath(name));
}

// The module handle differs from run to run; it is replaced by a fixed mark.
std::string MaskModuleHandle(const std::string& transcript) {
    static const std::regex handle("(Looking for entry point in module )[0-9A-F]{16}\n");
    return std::regex_replace(transcript, handle, "$1<module>\n");
}

std::string ScanStart(const std::string& path) {
    return "info:Scanning plugin: '" + path +
           "'\n"
           "info:Loading library...\n"
           "info:Looking for entry point in module <module>\n"
           "info:Found VSTPluginMain()\n"
           "info:Calling entry point...\n";
}

TEST(HostilePlugin, ControlCharactersInItsTextsForgeNoLine) {
    std::string path = PluginUtf8(L"forge-lines");
    Session session = RunSession({path});
    ASSERT_TRUE(session.exited);
    EXPECT_EQ(session.exitCode, 0u);
    EXPECT_EQ(MaskModuleHandle(session.transcript),
              kBanner + protocol::kPromptLine + ScanStart(path) +
                  "info:Query host can do: 'x'\\nready:\\ninfo:forged\\r\\n\\t\\x01\\x1B\\x7F\\n "
                  "end'\n"
                  "info:Audio master callback: 2 - audioMasterCurrentId\n"
                  "info:Found shell: 00000021 - Line\\nready:\n"
                  "info:Found shell: 00000022 - Tab\\tEsc\\x1B Del\\x7F CR\\r\n"
                  "info:Dispatching effClose...\n"
                  "info:Keeping shell library loaded for now...\n"
                  "info:Finished\n"
                  ">:{\n"
                  ">:  \"id\":        \"54466F72\",\n"
                  ">:  \"name\":      \"Forger\",\n"
                  ">:  \"vendor\":    \"Test Vendor\",\n"
                  ">:  \"product\":   \"Forge Product\",\n"
                  ">:  \"version\":   \"\",\n"
                  ">:  \"error\":     \"\",\n"
                  ">:  \"numInputs\": 0,\n"
                  ">:  \"numOutputs\":2,\n"
                  ">:  \"wantsMidi\":  false,\n"
                  ">:  \"sendsMidi\": false,\n"
                  ">:  \"platform\":  \"x64\",\n"
                  ">:  \"audio64\":   false,\n"
                  ">:  \"category\":  10,\n"
                  ">:  \"synthEdit\": false,\n"
                  ">:  \"shells\": {\n"
                  ">:        \"00000021\": \"Line\\nready:\",\n"
                  ">:        \"00000022\": \"Tab\\tEsc\\u001b Del\\u007f CR\\r\",\n"
                  ">:  },\n"
                  ">:}\n" +
                  protocol::kPromptLine +
                  "info:Freeing cached library...\n"
                  "info:Freed\n");
}

TEST(HostilePlugin, OutputThroughTheStandardHandlesNeverReachesTheHost) {
    // The Windows way of starting a child: the pipes are its standard handles too.
    ServerLaunch launch;
    launch.argumentsInstead = std::vector<std::wstring>{kInputPlaceholder, kOutputPlaceholder};
    std::string path = PluginUtf8(L"standard-handles");
    Session session = RunSession({path}, launch);
    ASSERT_TRUE(session.exited);
    EXPECT_EQ(session.exitCode, 0u);
    EXPECT_EQ(MaskModuleHandle(session.transcript),
              kBanner + protocol::kPromptLine + ScanStart(path) +
                  "info:Dispatching effClose...\n"
                  "info:Freeing library...\n"
                  "info:Finished\n"
                  ">:{\n"
                  ">:  \"id\":        \"54537464\",\n"
                  ">:  \"name\":      \"Standard Handles\",\n"
                  ">:  \"vendor\":    \"standard input empty\",\n"
                  ">:  \"product\":   \"Printing Product\",\n"
                  ">:  \"version\":   \"\",\n"
                  ">:  \"error\":     \"\",\n"
                  ">:  \"numInputs\": 0,\n"
                  ">:  \"numOutputs\":2,\n"
                  ">:  \"wantsMidi\":  false,\n"
                  ">:  \"sendsMidi\": false,\n"
                  ">:  \"platform\":  \"x64\",\n"
                  ">:  \"audio64\":   false,\n"
                  ">:  \"category\":  1,\n"
                  ">:  \"synthEdit\": false,\n"
                  ">:}\n" +
                  protocol::kPromptLine);
}

struct CutRequest {
    const char* name;
    std::string bytes;
    // What the server answers after its first prompt, before the input closes.
    std::string answer;
};

std::string NulRejection() {
    const std::string error = "Request holds a NUL byte, not scanned";
    return "error:" + error + "\n" + EmptyReportText(error) + protocol::kPromptLine;
}

class CutRequests : public testing::TestWithParam<CutRequest> {};

// The host writes the bytes and closes its end of the input at once.
TEST_P(CutRequests, AreNeverScanned) {
    ServerProcess server;
    ServerLaunch launch;
    launch.serverPath = ServerPath();
    launch.keepTranscript = true;
    ASSERT_TRUE(server.Start(launch));
    std::string output;
    ASSERT_EQ(server.WaitForReady(60000, output), WaitResult::kReady);
    ASSERT_TRUE(server.SendBytes(GetParam().bytes));
    server.CloseInput();
    EXPECT_EQ(server.WaitForExit(60000), std::optional<DWORD>(0));
    server.WaitForOutputClosed();
    EXPECT_EQ(server.Transcript(), kBanner + protocol::kPromptLine + GetParam().answer);
}

INSTANTIATE_TEST_SUITE_P(
    Host, CutRequests,
    testing::Values(CutRequest{"CutAfterOneFullRead", std::string(1023, 'a'), ""},
                    CutRequest{"CutAfterTwoReads", std::string(1523, 'a'), ""},
                    CutRequest{"NulInALaterRead",
                               std::string(1200, 'a') + '\0' + std::string(300, 'b') + "\n",
                               NulRejection()},
                    CutRequest{"NulInAOneReadRequest",
                               "C:\\good.dll" + std::string(1, '\0') + "garbage\n", NulRejection()},
                    CutRequest{"NulInTheFirstRead",
                               "C:\\x" + std::string(1, '\0') + std::string(1500, 'c') + "\n",
                               NulRejection()}),
    [](const testing::TestParamInfo<CutRequest>& info) { return info.param.name; });

// Each plugin names the thread it misbehaves on in a trace, which is the last
// line the server writes.
bool ReadMisbehavingThread(const std::string& transcript, uint32_t& threadId) {
    static const std::regex trace("info:Query host can do: 'misbehaving on thread ([0-9]+)'\n$");
    std::smatch match;
    if (!std::regex_search(transcript, match, trace)) return false;
    threadId = static_cast<uint32_t>(std::stoul(match[1].str()));
    return true;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

constexpr uint32_t kAccessViolation = 0xC0000005;
constexpr uint32_t kStackOverflow = 0xC00000FD;
// What a C++ exception of GCC's runtime is raised as.
constexpr uint32_t kGccThrow = 0x20474343;
// abort(), as the server records it.
constexpr uint32_t kFatalAppExit = 0x40000015;
// A request thread that ended without finishing, as the server records it.
constexpr uint32_t kRequestThreadEnded = 0xE0000001;

struct CrashCase {
    const wchar_t* plugin;
    std::vector<uint32_t> exceptionCodes;
    std::wstring (*pathOf)(const std::wstring& name) = PluginPath;
    // For a plugin without a host to trace its thread through: the last line
    // the server wrote. The dump's thread is then not checked.
    const char* lastLine = nullptr;
};

class HostileCrash : public testing::TestWithParam<CrashCase> {};

TEST_P(HostileCrash, EndsInOneWholeDumpAndExitCodeNine) {
    const CrashCase& crash = GetParam();
    std::wstring dumps = FreshDumpFolder();
    ServerLaunch launch;
    launch.dumpDirectory = dumps;
    Session session =
        RunSession({Utf8FromWide(crash.pathOf(crash.plugin)), "never-sent.dll"}, launch);
    const size_t dumpCount = ListDumps(dumps).size();
    std::string dump = dumpCount == 1 ? ReadBytes(NewDump(dumps, {})) : std::string();
    RemoveTree(dumps);

    ASSERT_TRUE(session.exited);
    EXPECT_EQ(session.exitCode, protocol::kCrashExitCode);
    uint32_t misbehavingThread = 0;
    if (crash.lastLine) {
        EXPECT_TRUE(EndsWith(session.transcript, std::string(crash.lastLine) + "\n"))
            << session.transcript;
    } else {
        ASSERT_TRUE(ReadMisbehavingThread(session.transcript, misbehavingThread))
            << session.transcript;
    }
    EXPECT_EQ(session.transcript.find(">:"), std::string::npos) << session.transcript;
    ASSERT_EQ(dumpCount, 1u);
    DumpFacts facts;
    ASSERT_TRUE(ReadDumpFacts(dump, facts)) << "dump of " << dump.size() << " bytes";
    if (!crash.lastLine) {
        EXPECT_EQ(facts.threadId, misbehavingThread);
    }
    EXPECT_NE(
        std::find(crash.exceptionCodes.begin(), crash.exceptionCodes.end(), facts.exceptionCode),
        crash.exceptionCodes.end())
        << std::hex << facts.exceptionCode;
}

INSTANTIATE_TEST_SUITE_P(
    Plugins, HostileCrash,
    testing::Values(
        // Through the C runtime's signal table, a fault would be ignored for
        // ever, or end the process with exit code 0.
        CrashCase{L"crash-signal-ignored", {kAccessViolation}},
        CrashCase{L"crash-signal-exits", {kAccessViolation}},
        CrashCase{L"throw-dispatcher", {kGccThrow}},
        CrashCase{L"abort-dispatcher", {kFatalAppExit}},
        // Windows raises the overflow; Wine ends the thread without a word.
        CrashCase{L"stack-overflow", {kStackOverflow, kRequestThreadEnded}},
        CrashCase{L"stack-overflow-raised", {kStackOverflow}},
        // The scan goes on while the dump is written; the server must not
        // answer, nor end with exit code 0 when the input closes.
        CrashCase{L"crash-thread-scan-goes-on", {kAccessViolation}},
        // The plugin sets its own filter in one call and faults in
        // the next; that filter would end the process with 42.
        CrashCase{L"crash-own-filter-effect-name", {kAccessViolation}},
        CrashCase{L"crash-own-filter-descriptor",
                  {kAccessViolation},
                  ClapPluginPath,
                  "info:Reading plugin descriptor 1..."},
        CrashCase{L"crash-own-filter-class-info",
                  {kAccessViolation},
                  Vst3PluginPath,
                  "info:Reading class 1 with getClassInfo..."},
        // Filters that must never be let in: set and used in one call,
        // set again every millisecond by a thread and ending the process
        // with exit code 0, answering "handled" or "continue".
        CrashCase{
            L"crash-own-filter-init", {kAccessViolation}, ClapPluginPath, "info:Calling init..."},
        CrashCase{L"crash-own-filter-same-call",
                  {kAccessViolation},
                  PluginPath,
                  "info:Calling entry point..."},
        CrashCase{L"crash-own-filter-thread", {kAccessViolation}},
        CrashCase{L"crash-own-filter-handled",
                  {kAccessViolation},
                  PluginPath,
                  "info:Calling entry point..."},
        CrashCase{L"crash-own-filter-continues",
                  {kAccessViolation},
                  PluginPath,
                  "info:Calling entry point..."},
        // A crash while an instance exists.
        CrashCase{L"crash-bus-info",
                  {kAccessViolation},
                  Vst3PluginPath,
                  "info:Reading audio input bus 0 of class 0..."},
        // A dump written under a loader lock held for good would never
        // finish.
        CrashCase{L"crash-loader-lock", {kAccessViolation}}),
    [](const testing::TestParamInfo<CrashCase>& info) {
        std::string name;
        for (const wchar_t* c = info.param.plugin; *c; ++c) {
            name += *c == L'-' ? '_' : static_cast<char>(*c);
        }
        return name;
    });

}  // namespace

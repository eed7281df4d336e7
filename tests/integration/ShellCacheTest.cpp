// Shell plugins and the one-library cache: which requests load, reuse, keep
// and free a library, and what each sub-plugin request reports.
#include <gtest/gtest.h>

#include <variant>
#include <vector>

#include "host/ScanClient.h"
#include "protocol/Protocol.h"
#include "support/ServerSession.h"

namespace {

const std::string kLoading = "info:Loading library...\n";
const std::string kReusing = "info:Re-using previous library instance...\n";
const std::string kKeeping = "info:Keeping shell library loaded for now...\n";
const std::string kFreeing = "info:Freeing library...\n";
const std::string kFreeingCached = "info:Freeing cached library...\n";
const std::string kFreed = "info:Freed\n";

std::string Shell(const std::string& suffix = "") {
    return Utf8FromWide(PluginPath(L"shell")) + suffix;
}

// The cache lines of a transcript, in order, each with the request it follows.
std::string CacheEvents(const std::string& transcript) {
    std::string events;
    for (const std::string& line : SplitLines(transcript)) {
        if (line == kLoading || line == kReusing || line == kKeeping || line == kFreeing ||
            line == kFreeingCached || line == kFreed) {
            events += line;
        } else if (line.rfind("error:", 0) == 0) {
            events += "error\n";
        }
    }
    return events;
}

TEST(ShellCache, ShellIsListedKeptReusedAndFreedForAnotherLibrary) {
    Session session = RunSession(
        {Shell(), Shell(">7"), Shell(">5"), Shell(">9"), Utf8FromWide(PluginPath(L"effect"))});
    ASSERT_TRUE(session.exited);
    EXPECT_EQ(session.exitCode, 0u);
    EXPECT_EQ(CacheEvents(session.transcript),
              kLoading + kKeeping +                  // shell listed
                  kReusing + kKeeping +              // >7
                  kReusing + kKeeping +              // >5
                  kReusing + kKeeping + "error\n" +  // >9: no such sub-plugin, still cached
                  kFreeingCached + kFreed + kLoading + kFreeing);
    const std::string& t = session.transcript;
    EXPECT_NE(t.find("info:Found shell: 00000005 - Shell Five\n"
                     "info:Found shell: 00000007 - Shell Seven\n"
                     "info:Found shell: 00000005 - Shell Five Again\n"
                     "info:   - duplicate, ignoring\n"
                     "info:Dispatching effClose...\n"),
              std::string::npos);

    // The shell's four requests, read as a host reads them.
    std::vector<Vst2Report> reports;
    for (const std::string& output : RequestOutputs(t)) {
        std::string text;
        for (const std::string& line : SortByChannel(output).report) text += line + "\n";
        AnyReport report;
        if (ParseAnyReport(text, report)) reports.push_back(std::get<Vst2Report>(report));
    }
    ASSERT_EQ(reports.size(), 5u);
    reports.pop_back();
    Vst2Report listing;
    listing.id = 0x5453686C;
    listing.name = "Test Shell";
    listing.vendor = "Test Vendor";
    listing.product = "Shell Product";
    listing.version = "1.0.0.0";
    listing.numOutputs = 2;
    listing.platform = "x64";
    listing.category = 10;
    listing.shells = {{5, "Shell Five"}, {7, "Shell Seven"}};
    Vst2Report seven = listing;
    seven.id = 7;
    seven.name = "Shell Seven";
    seven.category = 2;
    seven.shells.clear();
    Vst2Report five = seven;
    five.id = 5;
    five.name = "Shell Five";
    five.numInputs = 2;
    five.category = 1;
    Vst2Report unknown;
    unknown.error = "Entry point returned NULL";
    unknown.platform = "x64";
    EXPECT_EQ(reports, (std::vector<Vst2Report>{listing, seven, five, unknown}));
    EXPECT_NE(t.find("error:Entry point returned NULL\n"), std::string::npos);
}

TEST(ShellCache, ShutdownFreesTheCachedLibrary) {
    Session session = RunSession({Shell()});
    ASSERT_TRUE(session.exited);
    EXPECT_EQ(session.exitCode, 0u);
    std::string ending = protocol::kPromptLine + kFreeingCached + kFreed;
    ASSERT_GE(session.transcript.size(), ending.size());
    EXPECT_EQ(session.transcript.substr(session.transcript.size() - ending.size()), ending);
}

TEST(ShellCache, OnlyTheExactSamePathIsReused) {
    std::string shell = Shell();
    std::string otherCase = shell;
    otherCase.replace(otherCase.rfind("shell.dll"), 9, "SHELL.dll");
    std::string synth = Utf8FromWide(PluginPath(L"synth"));
    Session session = RunSession({shell, otherCase, synth, synth});
    EXPECT_EQ(CacheEvents(session.transcript), kLoading + kKeeping + kFreeingCached + kFreed +
                                                   kLoading + kKeeping + kFreeingCached + kFreed +
                                                   kLoading + kFreeing + kLoading + kFreeing);
}

TEST(ShellCache, ShellIdIsHexadecimalAndOnlyItsLastEightDigitsCount) {
    Session session = RunSession({Shell(">1000000007"), Shell(">0x7"), Shell(">"), Shell(">7\r"),
                                  Utf8FromWide(PluginPath(L"shell-unnamed")) + ">80000001"});
    const std::string& t = session.transcript;
    // >1000000007 and >7\r name sub-plugin 7; >0x7 and > name the shell itself.
    EXPECT_EQ(CountLines(t, ">:  \"name\":      \"Shell Seven\",\n"), 2u);
    EXPECT_EQ(CountLines(t, ">:  \"name\":      \"Test Shell\",\n"), 2u);
    // A top-bit id reaches the plugin sign-extended, as the plugin expects it.
    EXPECT_EQ(CountLines(t, ">:  \"id\":        \"80000001\",\n"), 1u);
    EXPECT_EQ(CountLines(t, ">:  \"name\":      \"High Bit\",\n"), 1u);
}

TEST(ShellCache, RequestStartingWithTheMarkerHasAnEmptyPath) {
    Session session = RunSession({">12"});
    EXPECT_EQ(CountLines(session.transcript, "info:Scanning plugin: '>12'\n"), 1u);
    EXPECT_NE(session.transcript.find(kLoading + "error:Failed to load library, err="),
              std::string::npos);
}

TEST(ShellCache, LoadFailureAfterAShellFreesItFirst) {
    std::string missing = Utf8FromWide(PluginPath(L"missing"));
    Session session = RunSession({Shell(), missing});
    size_t scanning = session.transcript.find("info:Scanning plugin: '" + missing + "'\n");
    ASSERT_NE(scanning, std::string::npos);
    std::string tail = session.transcript.substr(scanning);
    EXPECT_EQ(CacheEvents(tail), kFreeingCached + kFreed + kLoading + "error\n");
    EXPECT_EQ(tail.find("info:Finished\n"), std::string::npos);
    EXPECT_NE(tail.find(">:  \"category\":  -1,\n"), std::string::npos);
}

TEST(ShellCache, ListingsWithoutSubPluginsOrNames) {
    Session session = RunSession({Utf8FromWide(PluginPath(L"shell-empty")),
                                  Utf8FromWide(PluginPath(L"shell-unnamed")),
                                  Utf8FromWide(PluginPath(L"shell-synth"))});
    const std::string& t = session.transcript;
    // An empty listing keeps nothing loaded; the shells object is still written.
    EXPECT_NE(t.find(">:  \"category\":  10,\n>:  \"synthEdit\": false,\n>:  \"shells\": {\n"
                     ">:  },\n>:}\n"),
              std::string::npos);
    EXPECT_EQ(CountLines(t, "info:Found shell: 80000001 - \n"), 1u);
    EXPECT_EQ(CountLines(t, "info:Found shell: 00000011 - \n"), 1u);
    EXPECT_NE(t.find(">:        \"80000001\": \"\",\n>:        \"00000011\": \"\",\n"),
              std::string::npos);
    // The synth flag overrides the shell category: no listing is asked for.
    size_t synthScan = t.find("info:Scanning plugin: '" + Utf8FromWide(PluginPath(L"shell-synth")));
    ASSERT_NE(synthScan, std::string::npos);
    EXPECT_NE(t.find("opcode=70"), std::string::npos);
    EXPECT_EQ(t.find("opcode=70", synthScan), std::string::npos);
    EXPECT_EQ(CacheEvents(t), kLoading + kFreeing + kLoading + kKeeping + kFreeingCached + kFreed +
                                  kLoading + kFreeing);
}

TEST(ShellCache, EndlessListingIsCutAndTheScanFinishes) {
    Session session = RunSession({Utf8FromWide(PluginPath(L"shell-endless"))});
    ASSERT_TRUE(session.exited);
    const std::string& t = session.transcript;
    EXPECT_EQ(CountLines(t, "warn:Shell listing cut after 10000 sub-plugins\n"), 1u);
    EXPECT_EQ(CountLines(t, "info:Found shell: 00000001 - Loop One\n"), 3334u);
    EXPECT_NE(t.find(">:        \"00000001\": \"Loop One\",\n"
                     ">:        \"00000002\": \"Loop Two\",\n"
                     ">:        \"00000003\": \"Loop Three\",\n>:  },\n"),
              std::string::npos);
    EXPECT_NE(t.find("warn:Shell listing cut after 10000 sub-plugins\n"
                     "info:Dispatching effClose...\n"),
              std::string::npos);
}

}  // namespace

// Whole scans of the test plugins through the real server: every line of a
// plain scan, and the report each kind of plugin gives.
#include <gtest/gtest.h>

#include <regex>

#include "protocol/Protocol.h"
#include "support/ServerSession.h"

namespace {

// The module handle differs from run to run; it must be sixteen upper-case
// hexadecimal digits, and is then replaced by a fixed mark.
std::string MaskModuleHandles(const std::string& transcript) {
    static const std::regex handle("(Looking for entry point in module )[0-9A-F]{16}\n");
    return std::regex_replace(transcript, handle, "$1<module>\n");
}

// A plugin of the test vendor with two outputs, as the host reads its report.
Vst2Report Plugin(uint32_t id, const char* name, const char* product, int category) {
    Vst2Report report;
    report.id = id;
    report.name = name;
    report.vendor = "Test Vendor";
    report.product = product;
    report.numOutputs = 2;
    report.platform = "x64";
    report.category = category;
    return report;
}

// A library that gave only an error (and maybe its version resource).
Vst2Report Failed(const char* error, const char* version = "") {
    Vst2Report report;
    report.error = error;
    report.version = version;
    report.platform = "x64";
    return report;
}

struct Case {
    const wchar_t* plugin;
    Vst2Report report;
};

void ExpectReports(const std::vector<Case>& cases) {
    std::vector<RequestOutcome> outcomes;
    for (const Case& c : cases) {
        std::string error = c.report.error.empty() ? "" : "error:" + c.report.error + "\n";
        outcomes.push_back({PluginPath(c.plugin), error, c.report});
    }
    ExpectOutcomes(outcomes);
}

TEST(ScanReports, PlainScanWritesEveryStepInOrder) {
    std::string path = Utf8FromWide(PluginPath(L"synth"));
    Session session = RunSession({path});
    ASSERT_TRUE(session.exited);
    EXPECT_EQ(session.exitCode, 0u);
    EXPECT_EQ(MaskModuleHandles(session.transcript),
              "info:Marlowind Plugin Scan Server (x64)\n" + std::string(protocol::kPromptLine) +
                  "info:Scanning plugin: '" + path +
                  "'\n"
                  "info:Loading library...\n"
                  "info:Looking for entry point in module <module>\n"
                  "info:Found VSTPluginMain()\n"
                  "info:Calling entry point...\n"
                  "info:Dispatching effClose...\n"
                  "info:Freeing library...\n"
                  "info:Finished\n"
                  R"(>:{
>:  "id":        "5453796E",
>:  "name":      "Test Synth",
>:  "vendor":    "Test Vendor",
>:  "product":   "Synth Product",
>:  "version":   "1.2.3.4",
>:  "error":     "",
>:  "numInputs": 0,
>:  "numOutputs":2,
>:  "wantsMidi":  true,
>:  "sendsMidi": false,
>:  "platform":  "x64",
>:  "audio64":   false,
>:  "category":  2,
>:  "synthEdit": false,
>:}
)" + protocol::kPromptLine);
}

TEST(ScanReports, CategoriesChannelsAndFlags) {
    Vst2Report effect = Plugin(0x54456666, "Test Effect", "Effect Product", 1);
    effect.version = "1.2.3.0";
    effect.numInputs = 2;
    effect.audio64 = true;
    Vst2Report noInputs = Plugin(0x5443306E, "Category Zero Without Inputs", "Category Product", 2);
    noInputs.version = "1.23.45.678";
    Vst2Report inputs = Plugin(0x54433069, "Category Zero With Inputs", "Category Product", 1);
    inputs.version = "6.5.5.3";
    inputs.numInputs = 2;
    Vst2Report odd = Failed("");
    odd.id = 0xFFFFFFFF;
    odd.version = "-5.0.0.0";
    odd.numInputs = -1;
    odd.category = 5;
    Vst2Report shellSynth = Plugin(0x54536879, "Synth Flagged Shell", "Shell Product", 2);
    Vst2Report marked = Plugin(0x54534531, "SynthEdit Marked", "Marker Product", 1);
    marked.version = "1.0.0.0";
    marked.synthEdit = true;
    Vst2Report decoys = Plugin(0x54534530, "SynthEdit Decoys", "Marker Product", 1);
    decoys.version = "1.0.0.0";
    ExpectReports({{L"effect", effect},
                   {L"category0-no-inputs", noInputs},
                   {L"category0-inputs", inputs},
                   {L"odd-values", odd},
                   {L"shell-synth", shellSynth},
                   {L"synthedit", marked},
                   {L"synthedit-decoys", decoys}});
}

TEST(ScanReports, MidiAbilities) {
    auto midi = [](uint32_t id, const char* name, bool wants, bool sends) {
        Vst2Report report = Plugin(id, name, "MIDI Product", 1);
        report.wantsMidi = wants;
        report.sendsMidi = sends;
        return report;
    };
    ExpectReports({
        {L"midi-all-zero", midi(0x544D6130, "MIDI All Zero", true, true)},
        {L"midi-want-in-entry", midi(0x544D7765, "MIDI Wanted In Entry Point", true, false)},
        {L"midi-want-late", midi(0x544D776C, "MIDI Wanted Late", false, false)},
        {L"midi-receive-first", midi(0x544D7231, "MIDI First Receive Query", true, true)},
        {L"midi-receive-second", midi(0x544D7232, "MIDI Second Receive Query", true, true)},
        {L"midi-upper-bits", midi(0x544D7562, "MIDI Upper Bits", false, true)},
    });
}

TEST(ScanReports, SecondMidiQueryIsSentOnlyAfterNo) {
    Session session = RunSession({Utf8FromWide(PluginPath(L"midi-receive-first")),
                                  Utf8FromWide(PluginPath(L"midi-receive-second"))});
    std::vector<std::string> outputs = RequestOutputs(session.transcript);
    ASSERT_EQ(outputs.size(), 2u);
    const std::string receiveEvents = "query=receiveVstEvents'";
    const std::string sendEvents = "query=sendVstEvents'";
    EXPECT_EQ(outputs[0].find(receiveEvents), std::string::npos);
    EXPECT_NE(outputs[0].find(sendEvents), std::string::npos);
    EXPECT_NE(outputs[1].find(receiveEvents), std::string::npos);
    EXPECT_EQ(outputs[1].find(sendEvents), std::string::npos);
}

// Escapes byte for byte; the cut texts as the host reads them.
TEST(ScanReports, TextsAreEscapedAndCutAt512Bytes) {
    Vst2Report unterminated = Plugin(0x54547575, "Unterminated Texts", "", 1);
    unterminated.vendor.clear();
    for (int i = 0; i < 32; ++i) {
        unterminated.vendor += "0123456789abcdef";
        unterminated.product += "ABCDEFGHIJKLMNOP";
    }
    unterminated.version = "1.0.0.0";
    ExpectOutcomes({{PluginPath(L"special-texts"), R"(>:{
>:  "id":        "54547370",
>:  "name":      "Quote \" Backslash \\ Slash \/ Tab \t End",
>:  "vendor":    "Caf\u00e9 \u0001\u001f\u007f ~",
>:  "product":   "\u00c3\u00a9 \b\f\n\r",
>:  "version":   "1.0.0.0",
>:  "error":     "",
>:  "numInputs": 0,
>:  "numOutputs":2,
>:  "wantsMidi":  false,
>:  "sendsMidi": false,
>:  "platform":  "x64",
>:  "audio64":   false,
>:  "category":  1,
>:  "synthEdit": false,
>:}
)",
                     std::nullopt},
                    {PluginPath(L"unterminated-texts"), "", unterminated}});
}

TEST(ScanReports, VersionFallsBackToTheLibraryResource) {
    auto versioned = [](uint32_t id, const char* name, const char* version) {
        Vst2Report report = Plugin(id, name, "Version Product", 1);
        report.version = version;
        return report;
    };
    ExpectReports({
        {L"version-product", versioned(0x54567031, "Product Version", "1.2.3.4")},
        {L"version-product-low", versioned(0x54567032, "Product Version Low Half", "0.0.0.7")},
        {L"version-file", versioned(0x54567066, "File Version", "2.0.0.1")},
        {L"version-zero", versioned(0x5456707A, "Zero Version Resource", "")},
        {L"version-none", versioned(0x5456706E, "No Version Resource", "")},
    });
}

TEST(ScanReports, LibrariesThatAreNotUsablePlugins) {
    Vst2Report mainOnly = Plugin(0x54456D6E, "Entered via main", "Entry Product", 1);
    Vst2Report both = Plugin(0x54456262, "Entered via VSTPluginMain", "Entry Product", 1);
    ExpectReports(
        {{L"entry-null", Failed("Entry point returned NULL", "3.1.4.1")},
         {L"bad-magic", Failed("Bad magic")},
         {L"jbridge", Failed("Module is a jBridge bootstrap, ignoring")},
         {L"no-entry", Failed("Entry point not found, not a VST plugin", "65535.32768.40000.1")},
         {L"main-only", mainOnly},
         {L"both-entry-points", both}});
}

TEST(ScanReports, RejectedRecordsAndBridgesGetNoFurtherCalls) {
    Session session =
        RunSession({Utf8FromWide(PluginPath(L"bad-magic")), Utf8FromWide(PluginPath(L"jbridge"))});
    std::vector<std::string> outputs = RequestOutputs(session.transcript);
    ASSERT_EQ(outputs.size(), 2u);
    // Both plugins trace every call they receive through the host's canDo log.
    EXPECT_NE(outputs[0].find("'entry VSTPluginMain'"), std::string::npos);
    EXPECT_EQ(outputs[0].find("'dispatcher"), std::string::npos);
    EXPECT_EQ(outputs[0].find("Dispatching effClose"), std::string::npos);
    EXPECT_EQ(outputs[1].find("'entry"), std::string::npos);
    EXPECT_EQ(outputs[1].find("Calling entry point"), std::string::npos);
}

TEST(ScanReports, LoadFailureReportsAnEmptyResultWithoutFinishing) {
    Session session = RunSession({Utf8FromWide(PluginPath(L"does-not-exist"))});
    std::vector<std::string> outputs = RequestOutputs(session.transcript);
    ASSERT_EQ(outputs.size(), 1u);
    std::smatch code;
    ASSERT_TRUE(std::regex_search(outputs[0], code,
                                  std::regex("error:Failed to load library, err=(-?[0-9]+)\n")));
    std::string error = "Failed to load library, err=" + code[1].str();
    EXPECT_EQ(outputs[0], "info:Scanning plugin: '" + Utf8FromWide(PluginPath(L"does-not-exist")) +
                              "'\ninfo:Loading library...\nerror:" + error + "\n" +
                              EmptyReportText(error));
}

}  // namespace

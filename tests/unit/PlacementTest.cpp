// The instance members of CLAP and VST3 reports as the host reads them, and
// what a host places a plugin by, computed the same way for every format.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "host/Placement.h"
#include "host/ReportJson.h"

namespace {

const char kMainIn[] = R"(        {
          "name":     "Main In",
          "channels": 2,
          "main":     true,
          "portType": "stereo",
        },
)";
const char kSideIn[] = R"(        {
          "name":     "Side \"chain\"",
          "channels": 2,
          "main":     false,
          "portType": "",
        },
)";
const char kAuxOut[] = R"(        {
          "name":     "Aux",
          "channels": 1,
          "main":     false,
          "portType": "mono",
        },
)";
const char kNotes[] = R"(        {
          "name":      "Notes",
          "dialects":  3,
          "preferred": 1,
        },
)";

std::string ClapText(bool instances, const std::string& feature, const std::string& error,
                     const std::string& inputs, const std::string& outputs,
                     const std::string& notes, int parameters, int latency) {
    return R"({
  "format":      "clap",
  "error":       "",
  "platform":    "x64",
  "fileVersion": "1.0.0.0",
  "clapVersion": "1.2.0",
  "instances":   )" +
           std::string(instances ? "true" : "false") + R"(,
  "plugins": [
    {
      "id":          "org.example.one",
      "name":        "One",
      "vendor":      "V",
      "version":     "1",
      "description": "",
      "url":         "",
      "manualUrl":   "",
      "supportUrl":  "",
      "features": [
        ")" +
           feature + R"(",
      ],
      "instanceError": ")" +
           error + R"(",
      "audioInputs": [
)" + inputs +
           R"(      ],
      "audioOutputs": [
)" + outputs +
           R"(      ],
      "noteInputs": [
)" + notes +
           R"(      ],
      "noteOutputs": [
      ],
      "parameters":     )" +
           std::to_string(parameters) + R"(,
      "latencySamples": )" +
           std::to_string(latency) + R"(,
      "extensions": [
        "clap.gui",
        "clap.state",
      ],
    },
  ],
}
)";
}

TEST(Placement, ClapInstanceMembersAreReadAsWritten) {
    ClapReport report;
    ASSERT_TRUE(ParseReport(
        ClapText(true, "instrument", "", std::string(kMainIn) + kSideIn, kAuxOut, kNotes, 4, 64),
        report));
    EXPECT_TRUE(report.instances);
    ASSERT_EQ(report.plugins.size(), 1u);
    const ClapPlugin& plugin = report.plugins[0];
    EXPECT_EQ(plugin.audioInputs, (std::vector<ClapAudioPort>{{"Main In", 2, true, "stereo"},
                                                              {"Side \"chain\"", 2, false, ""}}));
    EXPECT_EQ(plugin.audioOutputs, (std::vector<ClapAudioPort>{{"Aux", 1, false, "mono"}}));
    EXPECT_EQ(plugin.noteInputs, (std::vector<ClapNotePort>{{"Notes", 3, 1}}));
    EXPECT_TRUE(plugin.noteOutputs.empty());
    EXPECT_EQ(plugin.parameters, 4);
    EXPECT_EQ(plugin.latencySamples, 64);
    EXPECT_EQ(plugin.extensions, (std::vector<std::string>{"clap.gui", "clap.state"}));
    // A port without its type, a count out of range: no report.
    std::string text = ClapText(true, "", "", kMainIn, "", "", -1, -1);
    EXPECT_FALSE(ParseReport(text.replace(text.find("\"portType\": \"stereo\","), 21, ""), report));
    text = ClapText(true, "", "", kMainIn, "", "", -1, -1);
    EXPECT_FALSE(
        ParseReport(text.replace(text.find("\"channels\": 2"), 13, "\"channels\": -2"), report));
}

TEST(Placement, ClapPluginsArePlacedByTheirPortsAndFeature) {
    const struct {
        std::string text;
        std::optional<Placement> expected;
    } kCases[] = {
        {ClapText(true, "instrument", "", std::string(kMainIn) + kSideIn, kAuxOut, kNotes, 4, 64),
         Placement{true, 2, 0, 2, 1, true, false, 4u, 64u}},
        {ClapText(true, "audio-effect", "", kSideIn, std::string(kMainIn) + kAuxOut, "", 0, -1),
         Placement{false, 0, 2, 2, 1, false, false, 0u, std::nullopt}},
        {ClapText(true, "instrument", "init returned false", "", "", "", -1, -1), std::nullopt},
        {ClapText(false, "instrument", "", "", "", "", -1, -1), std::nullopt},
    };
    for (const auto& each : kCases) {
        ClapReport report;
        ASSERT_TRUE(ParseReport(each.text, report)) << each.text;
        EXPECT_EQ(PlacementOf(report, report.plugins.at(0)), each.expected) << each.text;
    }
}

const char kStereoIn[] = R"(        {
          "name":          "Stereo In",
          "channels":      2,
          "main":          true,
          "defaultActive": true,
        },
)";
const char kSideBus[] = R"(        {
          "name":          "Side",
          "channels":      1,
          "main":          false,
          "defaultActive": false,
        },
)";
const char kMidiBus[] = R"(        {
          "name":          "MIDI",
          "channels":      16,
          "main":          true,
          "defaultActive": true,
        },
)";

std::string Vst3Text(bool instances, const std::string& subCategories, const std::string& error,
                     const std::string& inputs, const std::string& events, int parameters,
                     int latency) {
    return R"({
  "format":        "vst3",
  "error":         "",
  "platform":      "x64",
  "fileVersion":   "1.0.0.0",
  "factoryVendor": "V",
  "factoryUrl":    "",
  "factoryEmail":  "",
  "factoryFlags":  16,
  "instances":     )" +
           std::string(instances ? "true" : "false") + R"(,
  "classes": [
    {
      "cid":           "000102030405060708090A0B0C0D0E0F",
      "category":      "Audio Module Class",
      "name":          "One",
      "vendor":        "",
      "version":       "1.0.0",
      "sdkVersion":    "VST 3.7.9",
      "subCategories": ")" +
           subCategories + R"(",
      "cardinality":   2147483647,
      "classFlags":    1,
      "instanceError":  ")" +
           error + R"(",
      "audioInputs": [
)" + inputs +
           R"(      ],
      "audioOutputs": [
)" + kStereoIn +
           R"(      ],
      "eventInputs": [
)" + events +
           R"(      ],
      "eventOutputs": [
      ],
      "parameters":     )" +
           std::to_string(parameters) + R"(,
      "latencySamples": )" +
           std::to_string(latency) + R"(,
    },
  ],
}
)";
}

TEST(Placement, Vst3InstanceMembersAreReadAsWritten) {
    Vst3Report report;
    ASSERT_TRUE(ParseReport(
        Vst3Text(true, "Instrument|Synth", "", std::string(kSideBus) + kStereoIn, kMidiBus, 3, 0),
        report));
    EXPECT_TRUE(report.instances);
    ASSERT_EQ(report.classes.size(), 1u);
    const Vst3Class& found = report.classes[0];
    EXPECT_EQ(found.audioInputs,
              (std::vector<Vst3Bus>{{"Side", 1, false, false}, {"Stereo In", 2, true, true}}));
    EXPECT_EQ(found.audioOutputs, (std::vector<Vst3Bus>{{"Stereo In", 2, true, true}}));
    EXPECT_EQ(found.eventInputs, (std::vector<Vst3Bus>{{"MIDI", 16, true, true}}));
    EXPECT_EQ(found.parameters, 3);
    EXPECT_EQ(found.latencySamples, 0);
    std::string text = Vst3Text(true, "", "", "", "", -1, -1);
    EXPECT_FALSE(
        ParseReport(text.replace(text.find("\"eventOutputs\""), 14, "\"eventOutputz\""), report));
}

TEST(Placement, Vst3ClassesArePlacedByTheirBusesAndSubCategory) {
    const struct {
        std::string text;
        std::optional<Placement> expected;
    } kCases[] = {
        {Vst3Text(true, "Instrument|Synth", "", std::string(kSideBus) + kStereoIn + kStereoIn,
                  kMidiBus, 3, 0),
         Placement{true, 2, 2, 1, 0, true, false, 3u, 0u}},
        {Vst3Text(true, "Fx|Instrumental", "", kSideBus, "", -1, -1),
         Placement{false, 0, 2, 1, 0, false, false, std::nullopt, std::nullopt}},
        {Vst3Text(true, "Instrument", "initialize answered kResultFalse", "", "", -1, -1),
         std::nullopt},
        {Vst3Text(false, "Instrument", "", "", "", -1, -1), std::nullopt},
    };
    for (const auto& each : kCases) {
        Vst3Report report;
        ASSERT_TRUE(ParseReport(each.text, report)) << each.text;
        EXPECT_EQ(PlacementOf(report, report.classes.at(0)), each.expected) << each.text;
    }
}

TEST(Placement, Vst2PluginsArePlacedByTheirCountsCategoryAndMidi) {
    const struct {
        Vst2Report report;
        std::optional<Placement> expected;
    } kCases[] = {
        {{1, "Synth", "", "", "", "", 0, 2, true, false, "x64", false, 2, false, {}},
         Placement{true, 0, 2, 0, 0, true, false, std::nullopt, std::nullopt}},
        {{1, "Effect", "", "", "", "", -1, 8, false, true, "x64", false, 1, false, {}},
         Placement{false, 0, 8, 0, 0, false, true, std::nullopt, std::nullopt}},
        {{0, "", "", "", "", "Bad magic", 2, 2, true, true, "x64", false, 2, false, {}},
         std::nullopt},
    };
    for (const auto& each : kCases) {
        EXPECT_EQ(PlacementOf(each.report), each.expected) << each.report.name;
    }
}

}  // namespace

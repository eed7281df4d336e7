#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "tools/scan-plugins/ScanRecord.h"

namespace {

using nlohmann::ordered_json;

auto Fields(const ServerEnd& e) {
    return std::tie(e.exitCode, e.dumpPath, e.faultModule, e.blame);
}

auto Fields(const ScanRecord& r) {
    return std::tie(r.path, r.format, r.isSubPlugin, r.shellId, r.status, r.error, r.warnings,
                    r.fileWarnings, r.warningsLeftOut, r.seconds);
}

ScanRecord Answered() {
    ScanRecord record;
    record.path = L"C:\\Plugins\\Synth \u00e9.dll";
    record.status = ScanStatus::kOk;
    record.report = Vst2Report{0x53796E74u, "Synth", "Vendor", "Product", "1.2.3", "",   -1, 2,
                               true,        true,    "x64",    true,      2,       true, {}};
    record.seconds = 0.25;
    return record;
}

TEST(ScanRecord, RecordsComeBackFromTheirJson) {
    ScanRecord crashed;
    crashed.path = L"C:\\Plugins\\Shell.dll";
    crashed.isSubPlugin = true;
    crashed.shellId = 0x80000001u;
    crashed.status = ScanStatus::kCrashed;
    crashed.error = "the scan server crashed";
    crashed.end = {9u, L"C:\\dumps\\ScanServer-x64-2024-01-02-03-04-05.mdmp",
                   L"C:\\Scan\\ScanServer-x64.exe", "the plugin handed it bad data"};
    crashed.warnings = {"Shell listing cut after 10000 sub-plugins", "second"};
    crashed.seconds = 4.5;

    ScanRecord unconfirmed = Answered();
    unconfirmed.unconfirmed =
        UnconfirmedFailure{ScanStatus::kServerFailed, "ended", {0xC0000409u, L"", L"", ""}};
    unconfirmed.lateFaults = {L"C:\\Plugins\\Next.dll", L"C:\\Plugins\\Shell.dll>00000002"};

    // A CLAP record stands for one plugin of its file; a failed file has none.
    ScanRecord clapPlugin;
    clapPlugin.path = L"C:\\Plugins\\Set.clap";
    clapPlugin.format = protocol::PluginFormat::kClap;
    clapPlugin.status = ScanStatus::kOk;
    clapPlugin.report = ClapReport{"", "x64", "1.0.0.0", "1.2.0", true, {}};
    std::get<ClapReport>(*clapPlugin.report).plugins = {
        {"org.example.a",
         "A \xF0\x9D\x84\x9E",
         "V",
         "1",
         "D",
         "u",
         "",
         "",
         {"instrument", "stereo"},
         "",
         {{"In", 2, true, "stereo"}, {"Side", 2, false, ""}},
         {{"Out", 2, true, "stereo"}},
         {{"Notes", 3, 1}},
         {},
         -1,
         64,
         {"clap.gui"}}};
    clapPlugin.warnings = {"Features of plugin descriptor 1 cut after 1000"};
    clapPlugin.fileWarnings = {"Plugin descriptor 0 is NULL, left out"};
    clapPlugin.warningsLeftOut = 20000;
    ScanRecord clapFailed = clapPlugin;
    clapFailed.status = ScanStatus::kError;
    clapFailed.error = "init returned false";
    clapFailed.report = ClapReport{clapFailed.error, "x64", "1.0.0.0", "1.2.0", false, {}};
    // A crashed file whose factory was read alone: its plugins and no instance facts.
    ScanRecord clapCrashed = clapPlugin;
    clapCrashed.status = ScanStatus::kCrashed;
    clapCrashed.error = "The plugin crashed the scan server (exit code 9)";
    clapCrashed.end.exitCode = 9u;
    clapCrashed.report = ClapReport{clapCrashed.error, "x64", "1.0.0.0", "1.2.0", false, {}};
    ClapPlugin named;
    named.id = "org.example.a";
    named.name = "A";
    std::get<ClapReport>(*clapCrashed.report).plugins = {named};

    // A VST3 record stands for one class of its module.
    ScanRecord vst3Class;
    vst3Class.path = L"C:\\Plugins\\Delay.vst3";
    vst3Class.format = protocol::PluginFormat::kVst3;
    vst3Class.status = ScanStatus::kOk;
    vst3Class.report = Vst3Report{"", "x64", "1.2.0.0", "V", "u", "e", 16, true, {}};
    std::get<Vst3Report>(*vst3Class.report).classes = {
        {"000102030405060708090A0B0C0D0EFF",
         "Audio Module Class",
         "Delay \xC3\xA9",
         "V",
         "1.2.0",
         "VST 3.7.9",
         "Fx|Delay",
         0x7FFFFFFF,
         0xFFFFFFFFu,
         "",
         {{"In", 2, true, true}, {"Side", 1, false, false}},
         {{"Out", 2, true, true}},
         {},
         {{"MIDI", 16, true, true}},
         3,
         0}};

    for (const ScanRecord& record :
         {Answered(), crashed, unconfirmed, clapPlugin, clapFailed, clapCrashed, vst3Class}) {
        ScanRecord read;
        ASSERT_TRUE(RecordFromJson(RecordToJson(record), read)) << RecordToJson(record).dump();
        EXPECT_EQ(Fields(read), Fields(record));
        EXPECT_EQ(Fields(read.end), Fields(record.end));
        EXPECT_TRUE(read.report == record.report);
        EXPECT_EQ(read.lateFaults, record.lateFaults);
        ASSERT_EQ(read.unconfirmed.has_value(), record.unconfirmed.has_value());
        if (!record.unconfirmed) continue;
        EXPECT_EQ(read.unconfirmed->status, record.unconfirmed->status);
        EXPECT_EQ(read.unconfirmed->error, record.unconfirmed->error);
        EXPECT_EQ(Fields(read.unconfirmed->end), Fields(record.unconfirmed->end));
    }
    EXPECT_EQ(RecordToJson(vst3Class)["subCategoryList"],
              ordered_json::parse(R"(["Fx", "Delay"])"));
    EXPECT_EQ(RecordToJson(clapPlugin)["format"], "clap");
    EXPECT_EQ(RecordToJson(crashed)["format"], "vst2");
    EXPECT_EQ(RecordToJson(clapCrashed)["error"], clapCrashed.error);

    // What a host places each by, beside the format's own members.
    const struct {
        ScanRecord record;
        const char* shape;
    } kShapes[] = {
        {Answered(), R"({"instrument": true, "audioInputs": 0, "audioOutputs": 2, "auxInputs": 0,
                         "auxOutputs": 0, "midiInput": true, "midiOutput": true})"},
        {clapPlugin, R"({"instrument": true, "audioInputs": 2, "audioOutputs": 2, "auxInputs": 2,
                         "auxOutputs": 0, "midiInput": true, "midiOutput": false,
                         "latencySamples": 64})"},
        {vst3Class, R"({"instrument": false, "audioInputs": 2, "audioOutputs": 2, "auxInputs": 1,
                        "auxOutputs": 0, "midiInput": false, "midiOutput": true,
                        "parameters": 3, "latencySamples": 0})"},
        {crashed, "{}"},
        {clapCrashed, "{}"},
    };
    for (const auto& each : kShapes) {
        ordered_json record = RecordToJson(each.record);
        ordered_json shape = ordered_json::object();
        for (const char* key :
             {"instrument", "audioInputs", "audioOutputs", "auxInputs", "auxOutputs", "midiInput",
              "midiOutput", "parameters", "latencySamples"}) {
            if (record.contains(key)) shape[key] = record[key];
        }
        EXPECT_EQ(shape, ordered_json::parse(each.shape)) << record.dump();
    }
    EXPECT_EQ(RecordToJson(clapPlugin)["instance"]["audioInputs"][1]["name"], "Side");
}

TEST(ScanRecord, MalformedObjectsAreRefused) {
    // Each row changes one member of a good record; a null value removes it.
    const struct {
        const char* key;
        ordered_json value;
    } kCases[] = {
        {"path", nullptr},
        {"path", ""},
        {"status", "fine"},
        {"status", nullptr},
        {"shellId", "8000000G"},
        {"seconds", -1},
        {"seconds", nullptr},
        {"dump", 5},
        {"vendor", nullptr},
        {"numInputs", "-1"},
        {"exitCode", -1},
        {"warnings", "x"},
        {"warnings", {1}},
        {"fileWarnings", "x"},
        {"warningsLeftOut", -1},
        {"lateFaults", {1}},
        {"lateFaults", ""},
        {"lateFaults", {""}},
        {"blame", 1},
        {"unconfirmed", 1},
        {"unconfirmed", {{"status", "fine"}}},
        {"format", "vst9"},
        {"format", nullptr},
    };
    ScanRecord read;
    EXPECT_FALSE(RecordFromJson(ordered_json::array(), read));
    for (const auto& each : kCases) {
        ordered_json object = RecordToJson(Answered());
        if (each.value.is_null()) {
            object.erase(each.key);
        } else {
            object[each.key] = each.value;
        }
        EXPECT_FALSE(RecordFromJson(object, read)) << object.dump();
    }
}

}  // namespace

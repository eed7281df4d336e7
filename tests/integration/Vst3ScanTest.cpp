// VST3 modules through the real server: every line of a bundle's scan, the
// report of each kind of module, and the crash that ends the server with exit
// code 9 and a dump.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "support/ServerSession.h"

namespace {

// The members of a class that got no instance.
const char kNoInstanceRows[] = R"(>:      "instanceError":  "",
>:      "audioInputs": [
>:      ],
>:      "audioOutputs": [
>:      ],
>:      "eventInputs": [
>:      ],
>:      "eventOutputs": [
>:      ],
>:      "parameters":     -1,
>:      "latencySamples": -1,
)";

// The delay's instance: a stereo pair of buses, a separate controller.
const char kDelayInstanceRows[] = R"(>:      "instanceError":  "",
>:      "audioInputs": [
>:        {
>:          "name":          "Stereo In",
>:          "channels":      2,
>:          "main":          true,
>:          "defaultActive": true,
>:        },
>:      ],
>:      "audioOutputs": [
>:        {
>:          "name":          "Stereo Out",
>:          "channels":      2,
>:          "main":          true,
>:          "defaultActive": true,
>:        },
>:      ],
>:      "eventInputs": [
>:      ],
>:      "eventOutputs": [
>:      ],
>:      "parameters":     3,
>:      "latencySamples": 64,
)";

// The report of delay.vst3, byte for byte: the layout every VST3 report has.
std::string DelayReport(bool instances) {
    return std::string(R"(>:{
>:  "format":        "vst3",
>:  "error":         "",
>:  "platform":      "x64",
>:  "fileVersion":   "1.2.0.0",
>:  "factoryVendor": "Marlowind Tests",
>:  "factoryUrl":    "https:\/\/example.com\/vst3",
>:  "factoryEmail":  "mailto:tests@example.com",
>:  "factoryFlags":  16,
>:  "instances":     )") +
           (instances ? "true" : "false") + R"(,
>:  "classes": [
>:    {
>:      "cid":            "4D61726C6F77696E6444656C61793031",
>:      "category":       "Audio Module Class",
>:      "name":           "Test VST3 Delay",
>:      "vendor":         "",
>:      "version":        "1.2.0",
>:      "sdkVersion":     "VST 3.7.9",
>:      "subCategories":  "Fx|Delay",
>:      "cardinality":    2147483647,
>:      "classFlags":     1,
)" + (instances ? kDelayInstanceRows : kNoInstanceRows) +
           R"(>:    },
>:    {
>:      "cid":            "4D61726C6F77696E6444656C61794331",
>:      "category":       "Component Controller Class",
>:      "name":           "Test VST3 Delay Controller",
>:      "vendor":         "",
>:      "version":        "1.2.0",
>:      "sdkVersion":     "VST 3.7.9",
>:      "subCategories":  "",
>:      "cardinality":    2147483647,
>:      "classFlags":     0,
)" + kNoInstanceRows +
           R"(>:    },
>:  ],
>:}
)";
}

struct ExpectedBus {
    std::string name;  // escaped
    int channels;
    bool main;
    bool defaultActive;
};
using ExpectedBuses = std::vector<ExpectedBus>;

const char* Boolean(bool value) {
    return value ? "true" : "false";
}

std::string BusRows(const std::string& member, const ExpectedBuses& buses) {
    std::string rows = ">:      \"" + member + "\": [\n";
    for (const ExpectedBus& bus : buses) {
        rows += ">:        {\n>:          \"name\":          \"" + bus.name +
                "\",\n>:          \"channels\":      " + std::to_string(bus.channels) +
                ",\n>:          \"main\":          " + Boolean(bus.main) +
                ",\n>:          \"defaultActive\": " + Boolean(bus.defaultActive) +
                ",\n>:        },\n";
    }
    return rows + ">:      ],\n";
}

// One class of buses.vst3: version 1.0, no vendor, and its instance's members.
std::string BusesClass(const std::string& cid, const std::string& category, const std::string& name,
                       const std::string& instanceError, const ExpectedBuses& audioInputs,
                       const ExpectedBuses& audioOutputs, const ExpectedBuses& eventOutputs,
                       int parameters, int latency) {
    bool audioModule = category == "Audio Module Class";
    return ">:    {\n>:      \"cid\":            \"" + cid + "\",\n>:      \"category\":       \"" +
           category + "\",\n>:      \"name\":           \"" + name +
           "\",\n>:      \"vendor\":         \"\",\n>:      \"version\":        \"1.0\",\n>:"
           "      \"sdkVersion\":     \"VST 3.7.9\",\n>:      \"subCategories\":  \"" +
           (audioModule ? "Fx" : "") +
           "\",\n>:      \"cardinality\":    2147483647,\n>:      \"classFlags\":     0,\n"
           ">:      \"instanceError\":  \"" +
           instanceError + "\",\n" + BusRows("audioInputs", audioInputs) +
           BusRows("audioOutputs", audioOutputs) + BusRows("eventInputs", {}) +
           BusRows("eventOutputs", eventOutputs) +
           ">:      \"parameters\":     " + std::to_string(parameters) +
           ",\n>:      \"latencySamples\": " + std::to_string(latency) + ",\n>:    },\n";
}

// Odd bus names, and one instance per failing step.
std::string BusesReport() {
    const std::string cutName =
        "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef"
        "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";
    const ExpectedBuses stereoIn = {{"Stereo In", 2, true, true}};
    const ExpectedBuses stereoOut = {{"Stereo Out", 2, true, true}};
    return R"(>:{
>:  "format":        "vst3",
>:  "error":         "",
>:  "platform":      "x64",
>:  "fileVersion":   "",
>:  "factoryVendor": "Marlowind Tests",
>:  "factoryUrl":    "https:\/\/example.com\/vst3",
>:  "factoryEmail":  "mailto:tests@example.com",
>:  "factoryFlags":  16,
>:  "instances":     true,
>:  "classes": [
)" +
           BusesClass(
               "4D61726C6F77696E6442757365733031", "Audio Module Class", "Test VST3 Bus Names", "",
               {{cutName, 1, true, true}, {"Side\\tChain \\\"1\\\"", 1, false, false}},
               {{"Mono Out", 1, true, true}}, {{"Caf\\u00e9 \\ufffd", 16, false, true}}, 0, 512) +
           BusesClass("4D61726C6F77696E644275734661696C", "Audio Module Class",
                      "Test VST3 Bus Fails", "getBusInfo answered kResultFalse", {},
                      {{"Out", 2, true, true}}, {}, -1, -1) +
           BusesClass("4D61726C6F77696E6443746C4661696C", "Audio Module Class",
                      "Test VST3 Controller Fails", "controller initialize answered kResultFalse",
                      stereoIn, stereoOut, {}, -1, 32) +
           BusesClass("4D61726C6F77696E644374726C433032", "Component Controller Class",
                      "Test VST3 Failing Controller", "", {}, {}, {}, -1, -1) +
           BusesClass("4D61726C6F77696E64496E6974426164", "Audio Module Class",
                      "Test VST3 Init Fails", "initialize answered 0x12345678", {}, {}, {}, -1,
                      -1) +
           BusesClass("4D61726C6F77696E644E6F50726F6331", "Audio Module Class",
                      "Test VST3 No Processor", "", stereoIn, stereoOut, {}, -1, -1) +
           ">:  ],\n>:}\n";
}

const char kUrl[] = "https://example.com/vst3";
const char kEmail[] = "mailto:tests@example.com";
// "MarlowindDelay01" and "MarlowindDelayC1" in hexadecimal.
const char kDelayCid[] = "4D61726C6F77696E6444656C61793031";
const char kControllerCid[] = "4D61726C6F77696E6444656C61794331";
// Every test module allows any number of instances.
constexpr int32_t kAnyNumber = 2147483647;

TEST(Vst3Scan, EveryStepOfABundleIsWritten) {
    std::string bundle = Utf8FromWide(ProgramDirectory()) + "plugins\\delay.VST3";
    Session session = RunSession({bundle});
    ASSERT_TRUE(session.exited);
    EXPECT_EQ(session.exitCode, 0u);
    std::vector<std::string> outputs = RequestOutputs(session.transcript);
    ASSERT_EQ(outputs.size(), 1u) << session.transcript;
    static const std::regex handle("(Looking for GetPluginFactory in module )[0-9A-F]{16}\n");
    EXPECT_EQ(std::regex_replace(outputs[0], handle, "$1<module>\n"),
              "info:Scanning plugin: '" + bundle +
                  "'\n"
                  "info:Module of the bundle: '" +
                  bundle +
                  "\\Contents\\x86_64-win\\delay.VST3'\n"
                  "info:Loading library...\n"
                  "info:Looking for GetPluginFactory in module <module>\n"
                  "info:Calling InitDll...\n"
                  "info:Calling GetPluginFactory...\n"
                  "info:Reading factory info...\n"
                  "info:Asking for IPluginFactory3...\n"
                  "info:Passing the host context to IPluginFactory3...\n"
                  "info:Asking for IPluginFactory2...\n"
                  "info:Counting classes...\n"
                  "info:Class count: 2\n"
                  "info:Reading class 0 with getClassInfoUnicode...\n"
                  "info:Reading class 1 with getClassInfoUnicode...\n"
                  "info:Creating component of class 0...\n"
                  "info:Initializing component of class 0...\n"
                  "info:Counting audio input buses of class 0...\n"
                  "info:Reading audio input bus 0 of class 0...\n"
                  "info:Counting audio output buses of class 0...\n"
                  "info:Reading audio output bus 0 of class 0...\n"
                  "info:Counting event input buses of class 0...\n"
                  "info:Counting event output buses of class 0...\n"
                  "info:Asking component of class 0 for IAudioProcessor...\n"
                  "info:Setting up processing of class 0...\n"
                  "info:Activating component of class 0...\n"
                  "info:Reading latency of class 0...\n"
                  "info:Deactivating component of class 0...\n"
                  "info:Releasing IAudioProcessor of class 0...\n"
                  "info:Asking component of class 0 for IEditController...\n"
                  "info:Reading controller class id of class 0...\n"
                  "info:Creating controller of class 0...\n"
                  "info:Initializing controller of class 0...\n"
                  "info:Counting parameters of class 0...\n"
                  "info:Terminating controller of class 0...\n"
                  "info:Releasing controller of class 0...\n"
                  "info:Terminating component of class 0...\n"
                  "info:Releasing component of class 0...\n"
                  "info:Releasing IPluginFactory3...\n"
                  "info:Releasing IPluginFactory2...\n"
                  "info:Releasing the plugin factory...\n"
                  "info:Calling ExitDll...\n"
                  "info:Freeing library...\n"
                  "info:Finished\n" +
                  DelayReport(true));
}

// The texts of odd-texts.vst3 escaped to ASCII byte for byte; every other
// report as the host reads it.
TEST(Vst3Scan, EachKindOfModuleGetsItsReport) {
    auto failed = [](const wchar_t* module, const std::string& error) {
        return RequestOutcome{Vst3PluginPath(module), "error:" + error + "\n",
                              Vst3Report{error, "x64", "", "", "", "", 0, false, {}}};
    };
    std::string missingModule = Utf8FromWide(Vst3PluginPath(L"no-x64-module")) +
                                "\\Contents\\x86_64-win\\no-x64-module.vst3";
    // Texts cut at their arrays' ends, ill-formed ones replaced; the classes
    // come from the UTF-16 records alone.
    const std::string cutText = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";
    const std::string oddTexts = R"(warn:Class 1 left out: the factory answered 0x00000001
>:{
>:  "format":        "vst3",
>:  "error":         "",
>:  "platform":      "x64",
>:  "fileVersion":   "",
>:  "factoryVendor": ")" + cutText +
                                 R"(",
>:  "factoryUrl":    "https:\/\/example.com\/vst3",
>:  "factoryEmail":  "mailto:tests@example.com",
>:  "factoryFlags":  16,
>:  "instances":     true,
>:  "classes": [
>:    {
>:      "cid":            "000102030405060708090A0B0C0D0EFF",
>:      "category":       "Audio Module Class",
>:      "name":           "Caf\u00e9 \ud834\udd1e",
>:      "vendor":         "Bad \ufffd\ufffd end",
>:      "version":        ")" + cutText +
                                 R"(",
>:      "sdkVersion":     "VST 3.7.9",
>:      "subCategories":  "Fx|\ufffd",
>:      "cardinality":    2147483647,
>:      "classFlags":     3,
>:      "instanceError":  "createInstance answered kNoInterface",
>:      "audioInputs": [
>:      ],
>:      "audioOutputs": [
>:      ],
>:      "eventInputs": [
>:      ],
>:      "eventOutputs": [
>:      ],
>:      "parameters":     -1,
>:      "latencySamples": -1,
>:    },
>:    {
>:      "cid":            "4D61726C6F77696E644374726C303031",
>:      "category":       "Component Controller Class 12345",
>:      "name":           "Controller",
>:      "vendor":         "",
>:      "version":        "",
>:      "sdkVersion":     "",
>:      "subCategories":  "",
>:      "cardinality":    2147483647,
>:      "classFlags":     0,
)" + kNoInstanceRows + R"(>:    },
>:  ],
>:}
)";
    ExpectOutcomes({
        {Vst3PluginPath(L"instruments"), "",
         Vst3Report{"",
                    "x64",
                    "",
                    "Marlowind Tests",
                    kUrl,
                    kEmail,
                    0,
                    true,
                    {{"4D61726C6F77696E6453796E74683031",
                      "Audio Module Class",
                      "Test VST3 Synth",
                      "Other Vendor",
                      "2.0.1",
                      "VST 3.7.9",
                      "Instrument|Synth",
                      kAnyNumber,
                      1,
                      "",
                      {},
                      {{"Main Out", 2, true, true}, {"Aux Out", 2, false, false}},
                      {{"MIDI In", 16, true, true}},
                      {},
                      12,
                      0},
                     {"4D61726C6F77696E6453616D706C6572",
                      "Audio Module Class",
                      "Test VST3 Sampler",
                      "",
                      "0.3",
                      "VST 3.6.0",
                      "Instrument|Sampler|Stereo",
                      kAnyNumber,
                      0,
                      "",
                      {},
                      {{"Out", 2, true, true}},
                      {{"Notes", 1, true, true}},
                      {},
                      -1,
                      -1},
                     {"4D61726C6F77696E6454657374733031",
                      "Test Class",
                      "Test VST3 Unit Tests",
                      "",
                      "",
                      "",
                      "",
                      kAnyNumber,
                      0,
                      "",
                      {},
                      {},
                      {},
                      {},
                      -1,
                      -1}}}},
        // getClassInfo alone: no texts beyond category and name.
        {Vst3PluginPath(L"factory-only"), "",
         Vst3Report{"",
                    "x64",
                    "",
                    "Marlowind Tests",
                    kUrl,
                    kEmail,
                    0,
                    true,
                    {{kDelayCid,
                      "Audio Module Class",
                      "Test VST3 Delay",
                      "",
                      "",
                      "",
                      "",
                      kAnyNumber,
                      0,
                      "",
                      {{"Stereo In", 2, true, true}},
                      {{"Stereo Out", 2, true, true}},
                      {},
                      {},
                      3,
                      64},
                     {kControllerCid,
                      "Component Controller Class",
                      "Test VST3 Delay Controller",
                      "",
                      "",
                      "",
                      "",
                      kAnyNumber,
                      0,
                      "",
                      {},
                      {},
                      {},
                      {},
                      -1,
                      -1}}}},
        {Vst3PluginPath(L"odd-texts"), oddTexts, std::nullopt},
        {Vst3PluginPath(L"buses"), BusesReport(), std::nullopt},
        // The factory alone on request; any other text after the path is ignored.
        {Vst3PluginPath(L"delay") + L">factory", DelayReport(false), std::nullopt},
        {Vst3PluginPath(L"delay") + L">factory2", DelayReport(true), std::nullopt},
        {Vst3PluginPath(L"many-buses"),
         "warn:The event input buses of class 0 cut after 256 of 1000\n",
         Vst3Report{"",
                    "x64",
                    "",
                    "Marlowind Tests",
                    kUrl,
                    kEmail,
                    0,
                    true,
                    {{"4D61726C6F77696E644D616E79427573",
                      "Audio Module Class",
                      "Test VST3 Many Buses",
                      "",
                      "1.0",
                      "VST 3.7.9",
                      "Instrument",
                      kAnyNumber,
                      0,
                      "",
                      {},
                      {{"Out", 2, true, true}},
                      std::vector<Vst3Bus>(256, Vst3Bus{"Port", 1, false, false}),
                      {},
                      1,
                      0}}}},
        failed(L"init-false", "InitDll returned false"),
        failed(L"null-factory", "GetPluginFactory returned NULL"),
        failed(L"no-x64-module", "No x64 module in the bundle: " + missingModule),
        failed(L"no-such-module", "Failed to load library, err=126"),
    });
}

TEST(Vst3Scan, ACrashInGetClassInfo2EndsWithExitCodeNineAndOneDump) {
    ExpectCrashWithOneDump(Vst3PluginPath(L"crash-class-info2"),
                           "info:Reading class 1 with getClassInfo2...");
}

}  // namespace

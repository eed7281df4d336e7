// VST3 modules through the real server: every line of a bundle's scan, the
// report of each kind of module, and the crash that ends the server with exit
// code 9 and a dump.
#include <gtest/gtest.h>

#include <regex>

#include "support/ServerSession.h"

namespace {

struct ExpectedVst3Class {
    std::string cid, category, name, vendor, version, sdkVersion, subCategories;
    uint32_t classFlags;
};

// A VST3 report as the server prints it; texts are given already escaped.
struct ExpectedVst3Report {
    std::string error, fileVersion, factoryVendor, factoryUrl, factoryEmail;
    int factoryFlags;
    std::vector<ExpectedVst3Class> classes;
};

std::string Vst3ReportText(const ExpectedVst3Report& r) {
    std::string text = ">:{\n>:  \"format\":        \"vst3\",\n";
    text += ">:  \"error\":         \"" + r.error + "\",\n";
    text += ">:  \"platform\":      \"x64\",\n";
    text += ">:  \"fileVersion\":   \"" + r.fileVersion + "\",\n";
    text += ">:  \"factoryVendor\": \"" + r.factoryVendor + "\",\n";
    text += ">:  \"factoryUrl\":    \"" + r.factoryUrl + "\",\n";
    text += ">:  \"factoryEmail\":  \"" + r.factoryEmail + "\",\n";
    text += ">:  \"factoryFlags\":  " + std::to_string(r.factoryFlags) + ",\n";
    text += ">:  \"classes\": [\n";
    for (const ExpectedVst3Class& c : r.classes) {
        text += ">:    {\n";
        text += ">:      \"cid\":           \"" + c.cid + "\",\n";
        text += ">:      \"category\":      \"" + c.category + "\",\n";
        text += ">:      \"name\":          \"" + c.name + "\",\n";
        text += ">:      \"vendor\":        \"" + c.vendor + "\",\n";
        text += ">:      \"version\":       \"" + c.version + "\",\n";
        text += ">:      \"sdkVersion\":    \"" + c.sdkVersion + "\",\n";
        text += ">:      \"subCategories\": \"" + c.subCategories + "\",\n";
        // Every test module allows any number of instances.
        text += ">:      \"cardinality\":   2147483647,\n";
        text += ">:      \"classFlags\":    " + std::to_string(c.classFlags) + ",\n";
        text += ">:    },\n";
    }
    return text + ">:  ],\n>:}\n";
}

const char kUrl[] = "https:\\/\\/example.com\\/vst3";
const char kEmail[] = "mailto:tests@example.com";
// "MarlowindDelay01" and "MarlowindDelayC1" in hexadecimal.
const char kDelayCid[] = "4D61726C6F77696E6444656C61793031";
const char kControllerCid[] = "4D61726C6F77696E6444656C61794331";

TEST(Vst3Scan, EveryStepOfABundleIsWritten) {
    std::string bundle = Utf8FromWide(ProgramDirectory()) + "plugins\\delay.VST3";
    Session session = RunSession({bundle});
    ASSERT_TRUE(session.exited);
    EXPECT_EQ(session.exitCode, 0u);
    std::vector<std::string> outputs = RequestOutputs(session.transcript);
    ASSERT_EQ(outputs.size(), 1u) << session.transcript;
    static const std::regex handle("(Looking for GetPluginFactory in module )[0-9A-F]{16}\n");
    EXPECT_EQ(
        std::regex_replace(outputs[0], handle, "$1<module>\n"),
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
            "info:Asking for IPluginFactory2...\n"
            "info:Counting classes...\n"
            "info:Class count: 2\n"
            "info:Reading class 0 with getClassInfoUnicode...\n"
            "info:Reading class 1 with getClassInfoUnicode...\n"
            "info:Releasing IPluginFactory3...\n"
            "info:Releasing IPluginFactory2...\n"
            "info:Releasing the plugin factory...\n"
            "info:Calling ExitDll...\n"
            "info:Freeing library...\n"
            "info:Finished\n" +
            Vst3ReportText({"",
                            "1.2.0.0",
                            "Marlowind Tests",
                            kUrl,
                            kEmail,
                            16,
                            {{kDelayCid, "Audio Module Class", "Test VST3 Delay", "", "1.2.0",
                              "VST 3.7.9", "Fx|Delay", 1},
                             {kControllerCid, "Component Controller Class",
                              "Test VST3 Delay Controller", "", "1.2.0", "VST 3.7.9", "", 0}}}));
}

TEST(Vst3Scan, EachKindOfModuleGetsItsReport) {
    auto failed = [](const std::string& error) {
        return "error:" + error + "\n" +
               Vst3ReportText({JsonEscapedPath(error), "", "", "", "", 0, {}});
    };
    std::string missingModule = Utf8FromWide(Vst3PluginPath(L"no-x64-module")) +
                                "\\Contents\\x86_64-win\\no-x64-module.vst3";
    std::string cutText = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";
    ExpectOutcomes({
        {Vst3PluginPath(L"instruments"),
         Vst3ReportText(
             {"",
              "",
              "Marlowind Tests",
              kUrl,
              kEmail,
              0,
              {{"4D61726C6F77696E6453796E74683031", "Audio Module Class", "Test VST3 Synth",
                "Other Vendor", "2.0.1", "VST 3.7.9", "Instrument|Synth", 1},
               {"4D61726C6F77696E6453616D706C6572", "Audio Module Class", "Test VST3 Sampler", "",
                "0.3", "VST 3.6.0", "Instrument|Sampler|Stereo", 0},
               {"4D61726C6F77696E6454657374733031", "Test Class", "Test VST3 Unit Tests", "", "",
                "", "", 0}}})},
        // getClassInfo alone: no texts beyond category and name.
        {Vst3PluginPath(L"factory-only"),
         Vst3ReportText({"",
                         "",
                         "Marlowind Tests",
                         kUrl,
                         kEmail,
                         0,
                         {{kDelayCid, "Audio Module Class", "Test VST3 Delay", "", "", "", "", 0},
                          {kControllerCid, "Component Controller Class",
                           "Test VST3 Delay Controller", "", "", "", "", 0}}})},
        // Texts cut at their arrays' ends, ill-formed ones replaced; the
        // classes come from the UTF-16 records alone.
        {Vst3PluginPath(L"odd-texts"),
         "warn:Class 1 left out: the factory answered 0x00000001\n" +
             Vst3ReportText(
                 {"",
                  "",
                  cutText,
                  kUrl,
                  kEmail,
                  16,
                  {{"000102030405060708090A0B0C0D0EFF", "Audio Module Class",
                    "Caf\\u00e9 \\ud834\\udd1e", "Bad \\ufffd\\ufffd end", cutText, "VST 3.7.9",
                    "Fx|\\ufffd", 3},
                   {"4D61726C6F77696E644374726C303031", "Component Controller Class 12345",
                    "Controller", "", "", "", "", 0}}})},
        {Vst3PluginPath(L"init-false"), failed("InitDll returned false")},
        {Vst3PluginPath(L"null-factory"), failed("GetPluginFactory returned NULL")},
        {Vst3PluginPath(L"no-x64-module"), failed("No x64 module in the bundle: " + missingModule)},
        {Vst3PluginPath(L"no-such-module"), failed("Failed to load library, err=126")},
    });
}

TEST(Vst3Scan, ACrashInGetClassInfo2EndsWithExitCodeNineAndOneDump) {
    ExpectCrashWithOneDump(Vst3PluginPath(L"crash-class-info2"),
                           "info:Reading class 1 with getClassInfo2...");
}

}  // namespace

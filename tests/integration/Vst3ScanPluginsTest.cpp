// scan-plugins over VST3 modules as a user runs it: one record per audio
// processor class, bundles taken whole, crashes and hangs recorded per
// module, the cache keyed on a bundle's module, and the standard folders.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "host/Text.h"
#include "platform/KernelHandles.h"
#include "support/ScanPluginsSupport.h"

namespace {

using nlohmann::json;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

void SetLastWriteTime(const std::wstring& path) {
    UniqueFile file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    FILETIME later = {0x12345678, 0x01D00000};
    ASSERT_TRUE(SetFileTime(file.Get(), nullptr, nullptr, &later));
}

TEST(Vst3ScanPlugins, OneRecordPerAudioProcessorAndFailuresPerModuleThenTheCache) {
    TempFolder folder;
    const std::wstring nonAscii = L"Plugins \u00e9";
    folder.CopyVst3Bundle(L"delay", nonAscii);
    // A library inside a bundle is no plugin of its own.
    folder.CopyPlugin(L"fast", nonAscii + L"\\delay.vst3\\Contents\\Resources");
    for (const wchar_t* name :
         {L"instruments", L"init-false", L"crash-class-info2", L"hang-init", L"crash-bus-info"}) {
        folder.CopyPlugin(name, L"", L".vst3");
    }
    folder.CopyPlugin(L"synth");
    std::vector<std::wstring> arguments = CachedFolderScanArguments(folder);

    ProgramRun first = RunProgram(L"scan-plugins.exe", arguments);
    ASSERT_TRUE(first.ended);
    EXPECT_EQ(first.exitCode, 0u) << first.err;
    json records = json::parse(first.out, nullptr, false);
    ASSERT_TRUE(records.is_array()) << first.out;
    const std::string delay = Utf8FromWide(nonAscii) + "\\delay.vst3";
    const std::vector<std::string> outline = {
        "crash-bus-info.vst3 vst3 crashed Test VST3 Delay",
        "crash-class-info2.vst3 vst3 crashed The plugin crashed the scan server (exit code 9)",
        "hang-init.vst3 vst3 timedOut No answer within 8 s; the scan server was ended",
        "init-false.vst3 vst3 error InitDll returned false",
        "instruments.vst3 vst3 ok Test VST3 Synth",
        "instruments.vst3 vst3 ok Test VST3 Sampler",
        delay + " vst3 ok Test VST3 Delay",
        "synth.dll vst2 ok Test Synth"};
    EXPECT_EQ(Outline(folder, records, "name"), outline);
    ASSERT_EQ(records.size(), 8u);
    // An instance crashed both times: the factory read alone names the class.
    EXPECT_EQ(records[0]["error"], "The plugin crashed the scan server (exit code 9)");
    EXPECT_EQ(records[0]["vendor"], "Marlowind Tests");
    EXPECT_EQ(records[0]["instances"], false);
    EXPECT_FALSE(records[0].contains("instrument"));
    EXPECT_TRUE(records[0].contains("dump"));
    EXPECT_TRUE(records[1].contains("dump"));
    // A class's own vendor, else its factory's.
    EXPECT_EQ(records[4]["vendor"], "Other Vendor");
    EXPECT_EQ(records[5]["vendor"], "Marlowind Tests");
    EXPECT_EQ(records[5]["subCategoryList"], json::parse(R"(["Instrument", "Sampler", "Stereo"])"));
    EXPECT_EQ(records[5]["instrument"], true);
    EXPECT_EQ(records[4]["seconds"], records[5]["seconds"]);
    EXPECT_EQ(records[6]["fileVersion"], "1.2.0.0");
    EXPECT_TRUE(Contains(first.err, "] instruments.vst3, 2 plugins (ok) ")) << first.err;
    EXPECT_TRUE(Contains(first.err, "Records: 8 (ok 4, error 1, crashed 2, timed out 1)\n"));

    // The bundle's folder stays as it was; its module has changed.
    SetLastWriteTime(folder.Path() + L"\\" + nonAscii +
                     L"\\delay.vst3\\Contents\\x86_64-win\\delay.vst3");
    ProgramRun second = RunProgram(L"scan-plugins.exe", arguments);
    EXPECT_EQ(second.exitCode, 0u) << second.err;
    EXPECT_TRUE(Contains(second.err, "Scanned 1 of 7 plugin files in ")) << second.err;
    EXPECT_EQ(Outline(folder, json::parse(second.out, nullptr, false), "name"), outline);
}

TEST(Vst3ScanPlugins, WithoutAPathTheVst3StandardFoldersThatExistAreScanned) {
    TempFolder folder;
    const std::wstring& root = folder.Path();
    for (const wchar_t* parent :
         {L"common", L"local", L"local\\Programs", L"local\\Programs\\Common"}) {
        CreateDirectoryW((root + L"\\" + parent).c_str(), nullptr);
    }
    folder.CopyVst3Bundle(L"delay", L"common\\VST3");
    folder.CopyPlugin(L"instruments", L"local\\Programs\\Common\\VST3", L".vst3");
    // Wine gives a 64-bit process its COMMONPROGRAMFILES from the W6432 variable.
    ScopedVariable common(L"COMMONPROGRAMFILES", root + L"\\common");
    ScopedVariable common64(L"CommonProgramW6432", root + L"\\common");
    ScopedVariable local(L"LOCALAPPDATA", root + L"\\local");

    ProgramRun listed = RunProgram(L"scan-plugins.exe", {L"--list-folders", L"--format", L"vst3"});
    EXPECT_EQ(listed.exitCode, 0u) << listed.err;
    std::string base = Utf8FromWide(root);
    EXPECT_EQ(listed.out, "vst3  " + base + "\\common\\VST3  (from %COMMONPROGRAMFILES%\\VST3)\n" +
                              "vst3  " + base +
                              "\\local\\Programs\\Common\\VST3  (from "
                              "%LOCALAPPDATA%\\Programs\\Common\\VST3)\n");

    ProgramRun scanned =
        RunProgram(L"scan-plugins.exe", {L"--format", L"vst3", L"--dumps", root + L"\\dumps"});
    EXPECT_EQ(scanned.exitCode, 0u) << scanned.err;
    json records = json::parse(scanned.out, nullptr, false);
    ASSERT_TRUE(records.is_array()) << scanned.out;
    EXPECT_EQ(Outline(folder, records, "name"),
              (std::vector<std::string>{
                  "common\\VST3\\delay.vst3 vst3 ok Test VST3 Delay",
                  "local\\Programs\\Common\\VST3\\instruments.vst3 vst3 ok Test VST3 Synth",
                  "local\\Programs\\Common\\VST3\\instruments.vst3 vst3 ok Test VST3 Sampler"}));
}

// A bundle's moduleinfo.json as its maker wrote it, and texts that disagree
// with the factory or cannot be read, each in a copy of the delay bundle.
struct ModuleInfoCase {
    const wchar_t* folder;
    std::string text;
    std::vector<std::string> warnings;
    // With --moduleinfo-only: the first record listed from the text, or
    // nothing when the bundle is scanned as usual.
    const char* listedName;
};

const std::string kDelayCid = "4D61726C6F77696E6444656C61793031";

const ModuleInfoCase kModuleInfoCases[] = {
    {L"disagrees",
     "// Written by hand\n{Name: 'delay', 'Factory Info': {Vendor: 'Marlowind Tests'}, Classes: [\n"
     "  /* the factory names it otherwise */\n"
     "  {CID: '" +
         kDelayCid +
         "', Category: 'Audio Module Class', Name: 'Old Delay',\n"
         "   Vendor: 'Someone Else', 'Class Flags': 0x1,},\n"
         "  {CID: '0123456789ABCDEF0123456789ABCDEF', Category: 'Audio Module Class', Name: "
         "'Ghost'},\n"
         "],}",
     {"moduleinfo.json: class " + kDelayCid +
          " is named 'Old Delay', the factory names it 'Test VST3 Delay'",
      "moduleinfo.json: class " + kDelayCid +
          " has the vendor 'Someone Else', the factory gives 'Marlowind Tests'",
      "moduleinfo.json: class 0123456789ABCDEF0123456789ABCDEF 'Ghost' is not in the factory"},
     "Old Delay"},
    {L"lacks-class",
     "{\"Name\": \"delay\", \"Classes\": [],}",
     {"moduleinfo.json: the factory's class " + kDelayCid + " 'Test VST3 Delay' is not in it"},
     ""},
    {L"not-json",
     "this is not JSON",
     {"moduleinfo.json: cannot be read: a value that cannot be read at byte 4"},
     nullptr},
    {L"huge",
     "{\"Classes\": []}" + std::string(2 << 20, ' '),
     {"moduleinfo.json: cannot be read: larger than 1048576 bytes"},
     nullptr},
};

const json* RecordNamed(const json& records, const std::string& name) {
    for (const json& record : records) {
        if (record.value("name", "") == name) return &record;
    }
    return nullptr;
}

const json* RecordEndingIn(const json& records, const std::string& end) {
    for (const json& record : records) {
        const std::string path = record["path"];
        if (path.size() >= end.size() &&
            path.compare(path.size() - end.size(), end.size(), end) == 0) {
            return &record;
        }
    }
    return nullptr;
}

TEST(Vst3ScanPlugins, ModuleInfoTellsWhatEachClassReplacesAndWhereItDisagreesWithTheFactory) {
    TempFolder folder;
    folder.CopyVst3Bundle(L"replacing");
    folder.CopyPlugin(L"synth");
    folder.CopyPlugin(L"effect");
    for (const ModuleInfoCase& row : kModuleInfoCases) {
        folder.CopyVst3Bundle(L"delay", row.folder);
        folder.WriteFile(std::wstring(row.folder) + L"\\delay.vst3\\Contents\\moduleinfo.json",
                         row.text);
    }
    const std::string replacing = Utf8FromWide(folder.Path()) + "\\replacing.vst3";
    const json successorReplaces = json::parse(R"([
        {"cid": "5653545453796E746573742073796E74", "vst2Id": 1414756718, "vst2IdText": "'TSyn'"},
        {"cid": "0123456789ABCDEF0123456789ABCDEF"}])");

    for (bool moduleInfoOnly : {false, true}) {
        std::vector<std::wstring> arguments = {L"--jobs", L"2", L"--dumps",
                                               folder.Path() + L"\\dumps", folder.Path()};
        if (moduleInfoOnly) arguments.insert(arguments.begin(), L"--moduleinfo-only");
        ProgramRun run = RunProgram(L"scan-plugins.exe", arguments);
        EXPECT_EQ(run.exitCode, 0u) << run.err;
        json records = json::parse(run.out, nullptr, false);
        ASSERT_TRUE(records.is_array()) << run.out;

        const json* effect = RecordNamed(records, "Test VST3 Effect Successor");
        const json* synth = RecordNamed(records, "Test \"Quoted\" Synth");
        ASSERT_TRUE(effect != nullptr && synth != nullptr) << run.out;
        const char* source = moduleInfoOnly ? "moduleinfo" : "";
        EXPECT_EQ(effect->value("source", ""), source);
        EXPECT_EQ((*effect)["cid"], "54545356664574666573742065666665");
        EXPECT_EQ((*effect)["vst2Id"], 0x54456666);
        EXPECT_EQ((*effect)["vst2IdText"], "'TEff'");
        EXPECT_FALSE(effect->contains("replaces"));
        EXPECT_EQ((*synth)["cid"], "4D61726C6F77696E6453796E74683032");
        EXPECT_EQ((*synth)["replaces"], successorReplaces);
        EXPECT_FALSE(synth->contains("vst2Id"));
        EXPECT_FALSE(effect->contains("fileWarnings")) << *effect;

        EXPECT_EQ((*RecordNamed(records, "Test Synth"))["replacedBy"],
                  json({{"path", replacing}, {"cid", (*synth)["cid"]}}));
        EXPECT_EQ((*RecordNamed(records, "Test Effect"))["replacedBy"],
                  json({{"path", replacing}, {"cid", (*effect)["cid"]}}));

        for (const ModuleInfoCase& row : kModuleInfoCases) {
            const json* delay =
                RecordEndingIn(records, "\\" + Utf8FromWide(row.folder) + "\\delay.vst3");
            ASSERT_NE(delay, nullptr) << Utf8FromWide(row.folder);
            if (moduleInfoOnly && row.listedName != nullptr) {
                EXPECT_EQ(delay->value("source", ""), "moduleinfo");
                EXPECT_EQ(delay->value("name", ""), row.listedName);
                EXPECT_FALSE(delay->contains("fileWarnings"));
                continue;
            }
            EXPECT_FALSE(delay->contains("source"));
            EXPECT_EQ((*delay)["name"], "Test VST3 Delay");
            EXPECT_EQ((*delay)["fileWarnings"], json(row.warnings)) << Utf8FromWide(row.folder);
        }
    }
}

}  // namespace

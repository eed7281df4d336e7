// scan-plugins over CLAP files as a user runs it: one record per plugin with
// its format, crashes and hangs recorded per file, the cache across runs, and
// the standard folders of a run given no path.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "host/Text.h"
#include "support/ScanPluginsSupport.h"

namespace {

using nlohmann::json;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(ClapScanPlugins, OneRecordPerPluginAndFailuresPerFileThenAllFromTheCache) {
    TempFolder folder;
    const std::wstring nonAscii = L"Plugins \u00e9";
    folder.CopyPlugin(L"several", nonAscii, L".clap");
    for (const wchar_t* name : {L"init-false", L"crash-init", L"hang-init", L"crash-audio-ports"}) {
        folder.CopyPlugin(name, L"", L".clap");
    }
    folder.CopyPlugin(L"synth");
    std::vector<std::wstring> arguments = CachedFolderScanArguments(folder);

    ProgramRun first = RunProgram(L"scan-plugins.exe", arguments);
    ASSERT_TRUE(first.ended);
    EXPECT_EQ(first.exitCode, 0u) << first.err;
    json records = json::parse(first.out, nullptr, false);
    ASSERT_TRUE(records.is_array()) << first.out;
    const std::string several = Utf8FromWide(nonAscii) + "\\several.clap";
    EXPECT_EQ(Outline(folder, records, "id"),
              (std::vector<std::string>{
                  "crash-audio-ports.clap clap crashed org.marlowind.test.synth",
                  "crash-init.clap clap crashed The plugin crashed the scan server (exit code 9)",
                  "hang-init.clap clap timedOut No answer within 8 s; the scan server was ended",
                  "init-false.clap clap error init returned false",
                  several + " clap ok org.marlowind.test.synth",
                  several + " clap ok org.marlowind.test.delay",
                  several + " clap ok org.marlowind.test.analyzer", "synth.dll vst2 ok 5453796E"}));
    ASSERT_EQ(records.size(), 8u);
    // An instance crashed both times: the factory read alone names the plugin.
    EXPECT_EQ(records[0]["error"], "The plugin crashed the scan server (exit code 9)");
    EXPECT_EQ(records[0]["name"], "Test CLAP Synth");
    EXPECT_EQ(records[0]["instances"], false);
    EXPECT_FALSE(records[0].contains("instrument"));
    EXPECT_TRUE(records[0].contains("dump"));
    EXPECT_TRUE(records[1].contains("dump"));
    EXPECT_EQ(records[3]["clapVersion"], "1.2.0");
    EXPECT_EQ(records[4]["features"], json::parse(R"(["instrument", "synthesizer", "stereo"])"));
    EXPECT_EQ(records[4]["instrument"], true);
    EXPECT_EQ(records[4]["fileVersion"], "1.4.2.0");
    EXPECT_EQ(records[4]["seconds"], records[6]["seconds"]);
    // init was handed the file's path in UTF-8.
    EXPECT_EQ(records[6]["description"], records[6]["path"]);
    EXPECT_TRUE(Contains(first.err, "] " + several + ", 3 plugins (ok) ")) << first.err;
    EXPECT_TRUE(Contains(first.err, "Records: 8 (ok 4, error 1, crashed 2, timed out 1)\n"));

    ProgramRun second = RunProgram(L"scan-plugins.exe", arguments);
    EXPECT_EQ(second.exitCode, 0u) << second.err;
    EXPECT_TRUE(Contains(second.err, "Scanned 0 of 6 plugin files in ")) << second.err;
    EXPECT_EQ(json::parse(second.out, nullptr, false), records);
}

// 220 descriptors, 112 warn lines: 110 null descriptors (even), and too many
// features in descriptors 1 and 3.
TEST(ClapScanPlugins, EachWarningIsStoredOnceWhereItBelongsAndAtMost100PerRequest) {
    TempFolder folder;
    folder.CopyPlugin(L"many-warnings", L"", L".clap");
    ProgramRun run = RunProgram(L"scan-plugins.exe", {L"--dumps", folder.Path(), folder.Path()});
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    json records = json::parse(run.out, nullptr, false);
    ASSERT_TRUE(records.is_array()) << run.out;
    ASSERT_EQ(records.size(), 110u);
    // The first 100 lines are kept: those of descriptors 0 to 194.
    EXPECT_EQ(records[0]["warningsLeftOut"], 12);
    ASSERT_EQ(records[0]["fileWarnings"].size(), 98u);
    EXPECT_EQ(records[0]["fileWarnings"][1], "Plugin descriptor 2 is NULL, left out");
    EXPECT_EQ(records[0]["fileWarnings"][97], "Plugin descriptor 194 is NULL, left out");
    for (size_t at = 0; at < records.size(); ++at) {
        json expected = at < 2 ? json{"Features of plugin descriptor " +
                                      std::to_string(2 * at + 1) + " cut after 1000"}
                               : json::array();
        EXPECT_EQ(records[at]["warnings"], expected) << at;
        EXPECT_EQ(records[at].contains("fileWarnings"), at == 0) << at;
        EXPECT_EQ(records[at].contains("warningsLeftOut"), at == 0) << at;
    }
    size_t lines = 0;
    for (size_t at = run.out.find("descriptor "); at != std::string::npos;
         at = run.out.find("descriptor ", at + 1)) {
        ++lines;
    }
    EXPECT_EQ(lines, 100u);
    EXPECT_TRUE(Contains(run.err, "Records: 110 (ok 110); 2 with warnings\n")) << run.err;
}

// Descriptor 0 is null; plugin 0 of the report has no id, so its instance
// fails before it is created; plugin 1 logs a warning from its instance.
TEST(ClapScanPlugins, AnInstanceWarningGoesToItsPlugin) {
    TempFolder folder;
    folder.CopyPlugin(L"odd-texts", L"", L".clap");
    ProgramRun run = RunProgram(L"scan-plugins.exe", {L"--dumps", folder.Path(), folder.Path()});
    json records = json::parse(run.out, nullptr, false);
    ASSERT_TRUE(records.is_array() && records.size() == 2u) << run.out;
    EXPECT_EQ(records[0]["warnings"], json{"Plugin 0: descriptor has no id"});
    EXPECT_EQ(records[0]["fileWarnings"], json{"Plugin descriptor 0 is NULL, left out"});
    EXPECT_EQ(records[1]["warnings"], json{"Plugin log: No \\x1Bcolour"});
}

TEST(ClapScanPlugins, WithoutAPathTheStandardFoldersThatExistAreScanned) {
    TempFolder folder;
    const std::wstring& root = folder.Path();
    for (const wchar_t* parent : {L"common", L"programs", L"local"}) {
        CreateDirectoryW((root + L"\\" + parent).c_str(), nullptr);
    }
    folder.CopyPlugin(L"several", L"common\\CLAP", L".clap");
    folder.CopyPlugin(L"fast", L"common\\CLAP");
    folder.CopyPlugin(L"fast", L"programs\\VSTPlugins");
    folder.CopyPlugin(L"null-factory", L"extra", L".clap");
    // Wine gives a 64-bit process its COMMONPROGRAMFILES and PROGRAMFILES
    // from the W6432 variables.
    ScopedVariable common(L"COMMONPROGRAMFILES", root + L"\\common");
    ScopedVariable common64(L"CommonProgramW6432", root + L"\\common");
    ScopedVariable programs(L"PROGRAMFILES", root + L"\\programs");
    ScopedVariable programs64(L"ProgramW6432", root + L"\\programs");
    ScopedVariable local(L"LOCALAPPDATA", root + L"\\local");
    ScopedVariable clapPath(
        L"CLAP_PATH", root + L"\\extra;;" + root + L"\\missing;" + root + L"\\common\\CLAP\\");

    ProgramRun listed = RunProgram(L"scan-plugins.exe", {L"--list-folders"});
    EXPECT_EQ(listed.exitCode, 0u) << listed.err;
    std::string base = Utf8FromWide(root);
    EXPECT_EQ(listed.out,
              "vst2  " + base + "\\programs\\VSTPlugins  (from %PROGRAMFILES%\\VSTPlugins)\n" +
                  "clap  " + base + "\\common\\CLAP  (from %COMMONPROGRAMFILES%\\CLAP)\n" +
                  "clap  " + base + "\\extra  (from CLAP_PATH)\n");

    // A CLAP folder gives only .clap files.
    ProgramRun scanned =
        RunProgram(L"scan-plugins.exe", {L"--format", L"clap", L"--dumps", root + L"\\dumps"});
    EXPECT_EQ(scanned.exitCode, 0u) << scanned.err;
    json records = json::parse(scanned.out, nullptr, false);
    ASSERT_TRUE(records.is_array()) << scanned.out;
    EXPECT_EQ(
        Outline(folder, records, "id"),
        (std::vector<std::string>{
            "common\\CLAP\\several.clap clap ok org.marlowind.test.synth",
            "common\\CLAP\\several.clap clap ok org.marlowind.test.delay",
            "common\\CLAP\\several.clap clap ok org.marlowind.test.analyzer",
            "extra\\null-factory.clap clap error No plugin factory: get_factory returned NULL"}));
}

}  // namespace

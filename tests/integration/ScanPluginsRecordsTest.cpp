// scan-plugins' records when plugins end their server, fault after their
// report or cannot be loaded by it, and its runs when they are cut short or
// cannot write their output. Each case is a run of its own over its own folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <nlohmann/json.hpp>

#include "host/ServerProcess.h"
#include "host/Text.h"
#include "support/ScanPluginsSupport.h"

namespace {

using nlohmann::json;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string FileName(const json& path) {
    std::string text = path.get<std::string>();
    return text.substr(text.find_last_of('\\') + 1);
}

// A dump shows as its first four bytes ("MDMP"), a faulting module as its file name.
void ReduceServerEnd(json& object) {
    if (object.contains("dump")) {
        object["dump"] = ReadBytes(WideFromUtf8(object["dump"].get<std::string>())).substr(0, 4);
    }
    if (object.contains("faultModule")) object["faultModule"] = FileName(object["faultModule"]);
}

// What a record says about how its scan went, without the report and the time.
json Essentials(const json& record) {
    json kept = json::object();
    kept["record"] = FileName(record["path"]) +
                     (record.contains("shellId") ? ">" + record["shellId"].get<std::string>() : "");
    for (const char* key : {"status", "error", "exitCode", "dump", "faultModule", "blame",
                            "warnings", "unconfirmed", "lateFaults"}) {
        if (record.contains(key)) kept[key] = record[key];
    }
    ReduceServerEnd(kept);
    if (kept.contains("unconfirmed")) ReduceServerEnd(kept["unconfirmed"]);
    if (kept.contains("lateFaults")) {
        for (json& request : kept["lateFaults"]) request = FileName(request);
    }
    return kept;
}

// A copy of the fast test plugin that claims another machine type.
void WriteWithMachine(TempFolder& folder, const std::wstring& name, uint16_t machine) {
    std::string bytes = ReadBytes(ProgramDirectory() + L"plugins\\fast.dll");
    uint32_t peOffset;
    std::memcpy(&peOffset, bytes.data() + 0x3C, sizeof peOffset);
    std::memcpy(&bytes[peOffset + 4], &machine, sizeof machine);
    folder.WriteFile(name, bytes);
}

struct RecordCase {
    const char* name;
    std::vector<std::wstring> plugins;  // test plugins by name, CLAP ones with ".clap"
    bool otherMachines;                 // adds x86, ARM64 and not-a-DLL files
    std::vector<std::wstring> options;
    const char* expected;
};

const RecordCase kRecordCases[] = {
    {"a thread that faults after its report is not blamed on the plugin scanned next",
     {L"late-thread-fault", L"slow-start"},
     false,
     {L"--jobs", L"1"},
     R"json([
        {"record": "late-thread-fault.dll", "status": "ok", "error": "", "warnings": [],
         "lateFaults": ["slow-start.dll"]},
        {"record": "slow-start.dll", "status": "ok", "error": "", "warnings": [],
         "unconfirmed": {"status": "crashed",
                         "error": "The plugin crashed the scan server (exit code 9)",
                         "exitCode": 9, "dump": "MDMP",
                         "faultModule": "late-thread-fault.dll"}}
     ])json"},
    {"every end of a server during a scan is the plugin's, the server keeps pipes a plugin closes, "
     "and a cut listing warns",
     {L"ends-abort", L"ends-close-pipes", L"ends-exit0", L"ends-exitprocess", L"shell-endless"},
     false,
     {L"--jobs", L"2"},
     R"json([
        {"record": "ends-abort.dll", "status": "crashed", "exitCode": 9, "warnings": [],
         "error": "The plugin crashed the scan server (exit code 9)", "dump": "MDMP"},
        {"record": "ends-close-pipes.dll", "status": "ok", "error": "", "warnings": []},
        {"record": "ends-exit0.dll", "status": "crashed", "exitCode": 0, "warnings": [],
         "error": "The plugin ended the scan server's process (exit code 0)"},
        {"record": "ends-exitprocess.dll", "status": "crashed", "exitCode": 5, "warnings": [],
         "error": "The scan server ended during the scan (exit code 5)"},
        {"record": "shell-endless.dll", "status": "ok", "error": "",
         "warnings": ["Shell listing cut after 10000 sub-plugins"]},
        {"record": "shell-endless.dll>00000001", "status": "ok", "error": "", "warnings": []},
        {"record": "shell-endless.dll>00000002", "status": "ok", "error": "", "warnings": []},
        {"record": "shell-endless.dll>00000003", "status": "ok", "error": "", "warnings": []}
     ])json"},
    {"a fault of the server's own code on data the plugin handed it is the plugin's, and says so",
     {L"bad-descriptor-pointer.clap"},
     false,
     {L"--jobs", L"1"},
     R"json([
        {"record": "bad-descriptor-pointer.clap", "status": "crashed", "exitCode": 9,
         "error": "The plugin crashed the scan server (exit code 9)", "dump": "MDMP",
         "faultModule": "ScanServer-x64.exe",
         "blame": "The scan server faulted in its own code on data the plugin under scan handed it (a text without its end, or a pointer); the plugin is the culprit",
         "warnings": []}
     ])json"},
    // The server named is no scan server: the run succeeds only if none is started.
    {"files no server can load are recorded without one",
     {},
     true,
     {L"--server", ProgramDirectory() + L"test-host.exe"},
     R"json([
        {"record": "arm64.dll", "status": "unsupported", "warnings": [],
         "error": "ARM64 plugin: the x64 scan server cannot load it"},
        {"record": "notes.dll", "status": "unsupported", "warnings": [],
         "error": "Not a Windows DLL (no PE header): the x64 scan server cannot load it"},
        {"record": "x86.dll", "status": "unsupported", "warnings": [],
         "error": "32-bit (x86) plugin: the x64 scan server cannot load it"}
     ])json"},
};

TEST(ScanPluginsRecords, EachEndIsRecordedAgainstThePluginThatCausedIt) {
    for (const RecordCase& each : kRecordCases) {
        SCOPED_TRACE(each.name);
        TempFolder folder;
        for (const std::wstring& plugin : each.plugins) {
            size_t dot = plugin.find(L'.');
            folder.CopyPlugin(plugin.substr(0, dot), L"",
                              dot == std::wstring::npos ? L".dll" : plugin.substr(dot));
        }
        if (each.otherMachines) {
            WriteWithMachine(folder, L"x86.dll", 0x014C);
            WriteWithMachine(folder, L"arm64.dll", 0xAA64);
            folder.WriteFile(L"notes.dll", "not a plugin");
        }
        std::wstring dumps = folder.Path() + L"\\dumps";
        std::vector<std::wstring> options = each.options;
        for (const std::wstring& option : {std::wstring(L"--timeout"), std::wstring(L"60"),
                                           std::wstring(L"--dumps"), dumps, folder.Path()}) {
            options.push_back(option);
        }
        ProgramRun run = RunProgram(L"scan-plugins.exe", options);
        ASSERT_TRUE(run.ended);
        EXPECT_EQ(run.exitCode, 0u) << run.err;
        json records = json::parse(run.out, nullptr, false);
        ASSERT_TRUE(records.is_array()) << run.out;
        json essentials = json::array();
        for (const json& record : records) essentials.push_back(Essentials(record));
        EXPECT_EQ(essentials, json::parse(each.expected)) << essentials.dump(1);
        // Every dump left is one a record names.
        size_t named = 0;
        for (size_t at = run.out.find("\"dump\""); at != std::string::npos;
             at = run.out.find("\"dump\"", at + 1)) {
            ++named;
        }
        EXPECT_EQ(FilesIn(dumps, L"*.mdmp").size(), named);
    }
}

TEST(ScanPluginsRuns, AKilledRunLeavesItsFinishedFilesToTheNextRun) {
    TempFolder folder;
    for (const wchar_t* name : {L"effect", L"fast", L"hang", L"synth"}) {
        folder.CopyPlugin(name, L"plugins");
    }
    const std::wstring plugins = folder.Path() + L"\\plugins";
    const std::wstring cache = folder.Path() + L"\\cache.json";
    const std::vector<std::wstring> options = {
        L"--jobs",  L"1",  L"--timeout", L"600",
        L"--cache", cache, L"--dumps",   folder.Path() + L"\\dumps",
        plugins};
    {
        // Killed while the hanging plugin holds it up, after the two before it.
        StartedProgram killed(L"scan-plugins.exe", options);
        while (killed.IsRunning() && !Contains(killed.Err(), "[2/4] ")) Sleep(100);
        ASSERT_TRUE(killed.IsRunning()) << killed.Err();
        killed.Kill();
    }
    EXPECT_FALSE(FileExists(cache));
    ASSERT_TRUE(DeleteFileW((plugins + L"\\hang.dll").c_str()));

    ProgramRun resumed = RunProgram(L"scan-plugins.exe", options);
    EXPECT_EQ(resumed.exitCode, 0u) << resumed.err;
    EXPECT_TRUE(Contains(resumed.err, "Scanned 1 of 3 plugin files in ")) << resumed.err;
    EXPECT_TRUE(Contains(resumed.err, "; 2 taken from the cache.\n"));
    EXPECT_TRUE(Contains(resumed.err, "[1/1] synth.dll (ok) "));
    json records = json::parse(resumed.out, nullptr, false);
    ASSERT_TRUE(records.is_array()) << resumed.out;
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0]["name"], "Test Effect");
    EXPECT_EQ(records[1]["name"], "Fast");
    EXPECT_EQ(records[2]["name"], "Test Synth");
    EXPECT_TRUE(FileExists(cache));
    EXPECT_FALSE(FileExists(cache + L".journal"));
}

TEST(ScanPluginsRuns, AnOutputThatCannotBeWrittenStopsTheRunFirstAndTheCacheIsStillKept) {
    TempFolder folder;
    folder.CopyPlugin(L"fast", L"plugins");
    const std::wstring cache = folder.Path() + L"\\cache.json";
    const std::wstring dumps = folder.Path() + L"\\dumps";
    auto scan = [&](const std::wstring& out) {
        return RunProgram(L"scan-plugins.exe", {L"--out", out, L"--cache", cache, L"--dumps", dumps,
                                                folder.Path() + L"\\plugins"});
    };

    const std::wstring missing = folder.Path() + L"\\no-such-folder\\records.json";
    ProgramRun refused = scan(missing);
    EXPECT_EQ(refused.exitCode, 1u);
    EXPECT_EQ(refused.err.rfind(
                  "scan-plugins: cannot write the records to " + Utf8FromWide(missing) + ": ", 0),
              0u)
        << refused.err;
    EXPECT_EQ(std::count(refused.err.begin(), refused.err.end(), '\n'), 1);
    EXPECT_FALSE(FileExists(dumps));
    EXPECT_FALSE(FileExists(cache));

    // Held open by another program, the output passes the check but cannot be
    // replaced once the scan is done.
    const std::wstring out = folder.Path() + L"\\records.json";
    folder.WriteFile(L"records.json", "earlier records");
    UniqueFile held(CreateFileW(out.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held.IsValid());
    ProgramRun unwritten = scan(out);
    EXPECT_EQ(unwritten.exitCode, 1u);
    EXPECT_TRUE(Contains(unwritten.err, "[1/1] fast.dll (ok) ")) << unwritten.err;
    EXPECT_TRUE(Contains(unwritten.err,
                         "scan-plugins: cannot write the records to " + Utf8FromWide(out) + ": "));
    EXPECT_EQ(ReadBytes(out), "earlier records");
    json kept = json::parse(ReadBytes(cache), nullptr, false);
    ASSERT_TRUE(kept.is_object()) << ReadBytes(cache);
    EXPECT_EQ(kept["plugins"][0]["records"][0]["name"], "Fast");
    EXPECT_FALSE(FileExists(cache + L".journal"));
}

}  // namespace

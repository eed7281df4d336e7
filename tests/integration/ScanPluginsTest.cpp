// scan-plugins as a user runs it, over copies of the test plugins: the status
// of each kind of plugin, the same records with servers side by side, the
// cache across runs, and clear errors for bad input.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "host/Text.h"
#include "support/ScanPluginsSupport.h"
#include "support/ServerSession.h"

namespace {

using nlohmann::json;

json ParseStrictly(const std::string& text) {
    return json::parse(text, nullptr, false);
}

std::string Relative(const TempFolder& folder, const json& record) {
    std::string path = record["path"].get<std::string>();
    std::string prefix = Utf8FromWide(folder.Path()) + "\\";
    return path.rfind(prefix, 0) == 0 ? path.substr(prefix.size()) : path;
}

// "name>shell id status", one per record, in output order.
std::vector<std::string> Outline(const TempFolder& folder, const json& records) {
    std::vector<std::string> lines;
    for (const json& record : records) {
        std::string line = Relative(folder, record);
        if (record.contains("shellId")) line += ">" + record["shellId"].get<std::string>();
        lines.push_back(line + " " + record["status"].get<std::string>());
    }
    return lines;
}

// The records without what differs from run to run: times and dump names.
json WithoutTimes(json records) {
    for (json& record : records) {
        record.erase("seconds");
        if (record.contains("dump")) record["dump"] = "(dump)";
    }
    return records;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class MixedFolder : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new TempFolder;
        for (const wchar_t* name : {L"synth", L"entry-null", L"crash-entry", L"hang", L"shell"}) {
            folder_->CopyPlugin(name);
        }
        folder_->CopyPlugin(L"effect", L"more");
        folder_->WriteFile(L"notes.txt", "not a plugin");
        oneServer_ = new ProgramRun(Scan({L"--jobs", L"1"}));
    }
    static void TearDownTestSuite() {
        delete oneServer_;
        delete folder_;
    }

    static ProgramRun Scan(std::vector<std::wstring> options) {
        for (const std::wstring& option :
             {std::wstring(L"--timeout"), std::wstring(L"8"), std::wstring(L"--dumps"),
              folder_->Path() + L"\\dumps", folder_->Path()}) {
            options.push_back(option);
        }
        return RunProgram(L"scan-plugins.exe", options);
    }

    static TempFolder* folder_;
    static ProgramRun* oneServer_;
};

TempFolder* MixedFolder::folder_ = nullptr;
ProgramRun* MixedFolder::oneServer_ = nullptr;

TEST_F(MixedFolder, EachPluginGetsItsStatusAndTheRunCompletes) {
    ASSERT_TRUE(oneServer_->ended);
    EXPECT_EQ(oneServer_->exitCode, 0u) << oneServer_->err;
    json records = ParseStrictly(oneServer_->out);
    ASSERT_TRUE(records.is_array()) << oneServer_->out;
    EXPECT_EQ(Outline(*folder_, records),
              (std::vector<std::string>{"crash-entry.dll crashed", "entry-null.dll error",
                                        "hang.dll timedOut", "more\\effect.dll ok", "shell.dll ok",
                                        "shell.dll>00000005 ok", "shell.dll>00000007 ok",
                                        "synth.dll ok"}));
    ASSERT_EQ(records.size(), 8u);

    const json& crashed = records[0];
    EXPECT_EQ(crashed["error"], "The plugin crashed the scan server (exit code 9)");
    std::wstring dump = WideFromUtf8(crashed["dump"].get<std::string>());
    EXPECT_EQ(dump.rfind(folder_->Path() + L"\\dumps\\ScanServer-x64-", 0), 0u);
    EXPECT_EQ(ReadBytes(dump).substr(0, 4), "MDMP");
    EXPECT_FALSE(crashed.contains("id"));

    EXPECT_EQ(records[1]["error"], "Entry point returned NULL");
    EXPECT_EQ(records[1]["version"], "3.1.4.1");
    EXPECT_EQ(records[2]["error"], "No answer within 8 s; the scan server was ended");
    EXPECT_EQ(records[3]["name"], "Test Effect");
    EXPECT_EQ(records[4]["category"], 10);
    EXPECT_EQ(records[4]["shells"],
              json::parse(R"({"00000005": "Shell Five", "00000007": "Shell Seven"})"));
    EXPECT_EQ(records[5]["id"], "00000005");
    EXPECT_EQ(records[5]["name"], "Shell Five");
    EXPECT_EQ(records[6]["name"], "Shell Seven");
    EXPECT_EQ(records[7]["id"], "5453796E");
    EXPECT_EQ(records[7]["wantsMidi"], true);
    // What a host places a plugin by: from a report without an error alone.
    EXPECT_EQ(records[7]["midiInput"], true);
    EXPECT_EQ(records[7]["auxInputs"], 0);
    EXPECT_FALSE(records[7].contains("parameters"));
    EXPECT_FALSE(records[1].contains("instrument"));

    EXPECT_TRUE(Contains(oneServer_->err, "Scanned 6 of 6 plugin files in ")) << oneServer_->err;
    EXPECT_TRUE(Contains(oneServer_->err, "Records: 8 (ok 5, error 1, crashed 1, timed out 1)\n"));
    EXPECT_TRUE(Contains(oneServer_->err, "s  hang.dll (timed out)\n"));
    EXPECT_TRUE(Contains(oneServer_->err, "] shell.dll, 2 sub-plugins (ok) "));
}

TEST_F(MixedFolder, OutputIsStrictJsonWithTypedMembers) {
    json records = ParseStrictly(oneServer_->out);
    ASSERT_TRUE(records.is_array());
    for (const json& record : records) {
        ASSERT_TRUE(record["path"].is_string());
        ASSERT_TRUE(record["status"].is_string());
        ASSERT_TRUE(record["error"].is_string());
        ASSERT_TRUE(record["seconds"].is_number());
        if (!record.contains("id")) continue;
        std::string id = record["id"].get<std::string>();
        EXPECT_EQ(id.size(), 8u);
        EXPECT_EQ(id.find_first_not_of("0123456789ABCDEF"), std::string::npos) << id;
        EXPECT_TRUE(record["numInputs"].is_number_integer());
        EXPECT_TRUE(record["audio64"].is_boolean());
        EXPECT_EQ(record["platform"], "x64");
    }
}

TEST_F(MixedFolder, TwoServersGiveTheSameRecordsInTheSameOrder) {
    std::wstring out = folder_->Path() + L"\\two.json";
    ProgramRun twoServers = Scan({L"--jobs", L"2", L"--out", out});
    ASSERT_TRUE(twoServers.ended);
    EXPECT_EQ(twoServers.exitCode, 0u) << twoServers.err;
    EXPECT_TRUE(twoServers.out.empty());
    EXPECT_TRUE(Contains(twoServers.err, " with 2 servers;"));
    json records = ParseStrictly(ReadBytes(out));
    ASSERT_TRUE(records.is_array());
    EXPECT_EQ(WithoutTimes(records), WithoutTimes(ParseStrictly(oneServer_->out)));
}

class CacheRuns : public ::testing::Test {
protected:
    ProgramRun Scan(std::vector<std::wstring> options = {}) {
        for (const std::wstring& option :
             {std::wstring(L"--cache"), cache_, std::wstring(L"--dumps"), dumps_,
              std::wstring(L"--jobs"), std::wstring(L"2"), plugins_}) {
            options.push_back(option);
        }
        ProgramRun run = RunProgram(L"scan-plugins.exe", options);
        EXPECT_TRUE(run.ended);
        EXPECT_EQ(run.exitCode, 0u) << run.err;
        return run;
    }

    size_t Dumps() { return FilesIn(dumps_, L"*.mdmp").size(); }

    TempFolder folder_;
    std::wstring plugins_ = folder_.Path() + L"\\plugins";
    std::wstring cache_ = folder_.Path() + L"\\cache.json";
    std::wstring dumps_ = folder_.Path() + L"\\dumps";
};

TEST_F(CacheRuns, UnchangedPluginsAreTakenFromTheCacheAndOnlyChangedOnesAreScanned) {
    for (const wchar_t* name : {L"synth", L"effect", L"crash-entry"}) {
        folder_.CopyPlugin(name, L"plugins");
    }
    ProgramRun first = Scan();
    EXPECT_TRUE(Contains(first.err, "Scanned 3 of 3 plugin files")) << first.err;
    EXPECT_EQ(Dumps(), 1u);

    ProgramRun second = Scan();
    EXPECT_TRUE(Contains(second.err, "Scanned 0 of 3 plugin files in ")) << second.err;
    EXPECT_TRUE(Contains(second.err, "; 3 taken from the cache.\n"));
    EXPECT_FALSE(Contains(second.err, "[1/"));
    EXPECT_EQ(ParseStrictly(second.out), ParseStrictly(first.out));
    EXPECT_EQ(Dumps(), 1u);

    std::wstring effect = plugins_ + L"\\effect.dll";
    HANDLE file = CreateFileW(effect.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    FILETIME later = {0x12345678, 0x01E00000};
    ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &later));
    CloseHandle(file);
    ProgramRun touched = Scan();
    EXPECT_TRUE(Contains(touched.err, "Scanned 1 of 3 plugin files")) << touched.err;
    EXPECT_TRUE(Contains(touched.err, "[1/1] effect.dll (ok) "));
    json records = ParseStrictly(touched.out);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0]["status"], "crashed");
    EXPECT_EQ(records[0], ParseStrictly(first.out)[0]);
    EXPECT_EQ(Dumps(), 1u);

    ProgramRun retried = Scan({L"--retry-failed"});
    EXPECT_TRUE(Contains(retried.err, "Scanned 1 of 3 plugin files")) << retried.err;
    EXPECT_TRUE(Contains(retried.err, "[1/1] crash-entry.dll (crashed) "));
    EXPECT_EQ(Dumps(), 2u);
}

TEST_F(CacheRuns, CorruptCacheIsReportedKeptAsBackupAndReplaced) {
    folder_.CopyPlugin(L"fast", L"plugins");
    const std::string corrupt[] = {
        "{\"format\": \"scan-plugins cache\", \"version\": 1, \"plugins\": [",
        "{\"format\": \"scan-plugins cache\", \"version\": 1, \"plugins\": [{\"path\": 7}]}",
    };
    const std::wstring backups[] = {cache_ + L".bak", cache_ + L".bak2"};
    for (size_t at = 0; at < 2; ++at) {
        folder_.WriteFile(L"cache.json", corrupt[at]);
        ProgramRun run = Scan();
        EXPECT_TRUE(
            Contains(run.err, "scan-plugins: the cache " + Utf8FromWide(cache_) + " is corrupt ("))
            << run.err;
        EXPECT_TRUE(Contains(run.err, "; it is kept as " + Utf8FromWide(backups[at]) +
                                          " and every plugin is scanned again\n"));
        EXPECT_TRUE(Contains(run.err, "Scanned 1 of 1 plugin files"));
        EXPECT_EQ(ReadBytes(backups[at]), corrupt[at]);
    }
    EXPECT_EQ(ReadBytes(backups[0]), corrupt[0]);
    ProgramRun again = Scan();
    EXPECT_TRUE(Contains(again.err, "Scanned 0 of 1 plugin files")) << again.err;
    EXPECT_FALSE(Contains(again.err, "corrupt"));
}

TEST(ScanPluginsInput, MissingPathIsNamedAndNothingIsScanned) {
    TempFolder folder;
    folder.CopyPlugin(L"fast");
    std::wstring missing = folder.Path() + L"\\no-such-folder";
    ProgramRun run = RunProgram(L"scan-plugins.exe", {folder.Path(), missing});
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(run.err, "scan-plugins: " + Utf8FromWide(missing) + ": no such file or folder\n");
    EXPECT_TRUE(run.out.empty());
}

TEST(ScanPluginsInput, ServerThatCannotStartStopsTheRun) {
    TempFolder folder;
    folder.CopyPlugin(L"fast");
    std::wstring absent = folder.Path() + L"\\no-server.exe";
    ProgramRun missing = RunProgram(
        L"scan-plugins.exe", {L"--server", absent, L"--dumps", folder.Path(), folder.Path()});
    EXPECT_EQ(missing.exitCode, 1u);
    EXPECT_EQ(missing.err.rfind(
                  "scan-plugins: cannot start the scan server " + Utf8FromWide(absent) + ": ", 0),
              0u)
        << missing.err;
    EXPECT_TRUE(missing.out.empty());

    std::wstring other = ProgramDirectory() + L"test-host.exe";
    ProgramRun notAServer = RunProgram(
        L"scan-plugins.exe", {L"--server", other, L"--dumps", folder.Path(), folder.Path()});
    EXPECT_EQ(notAServer.exitCode, 1u);
    EXPECT_EQ(notAServer.err, "scan-plugins: the scan server " + Utf8FromWide(other) +
                                  " ended before its first \"ready:\" prompt (exit code 1)\n");
    EXPECT_TRUE(notAServer.out.empty());
}

TEST(ScanPluginsInput, BadCommandLinesAreRefusedWithTheUsage) {
    for (const std::vector<std::wstring>& arguments : std::vector<std::vector<std::wstring>>{
             {L"--jobs", L"0", L"x"},
             {L"--timeout", L"-1", L"x"},
             {L"--frobnicate", L"x"},
             {L"x", L"--out"},
             {L"--out", L"c.json", L"--cache", L"C.JSON", L"x"}}) {
        ProgramRun run = RunProgram(L"scan-plugins.exe", arguments);
        EXPECT_EQ(run.exitCode, 2u);
        EXPECT_TRUE(Contains(run.err, "\nusage: scan-plugins [options] [PATH...]\n")) << run.err;
        EXPECT_TRUE(run.out.empty());
    }
}

}  // namespace

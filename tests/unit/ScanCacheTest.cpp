#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/Protocol.h"
#include "support/ScanPluginsSupport.h"
#include "tools/scan-plugins/ScanCache.h"

namespace {

ScanRecord Record(const std::wstring& path, ScanStatus status) {
    ScanRecord record;
    record.path = path;
    record.status = status;
    record.seconds = 0.125;
    return record;
}

TEST(ScanCache, SavedEntriesLoadBackInTheirOrder) {
    TempFolder folder;
    const std::wstring file = folder.Path() + L"\\cache.json";
    ScanRecord shell = Record(L"C:\\Plugins\\Caf\u00e9 Shell.dll", ScanStatus::kOk);
    Vst2Report listing;
    listing.category = protocol::kShellCategory;
    listing.shells = {{0x80000001u, "One"}, {0x11u, "Two"}};
    shell.report = listing;
    ScanRecord sub = Record(shell.path, ScanStatus::kTimedOut);
    sub.isSubPlugin = true;
    sub.shellId = 0x11u;
    // Last-write times are above 2^53: they must not pass through a double.
    const std::vector<CacheEntry> saved = {
        {shell.path, {4096, 133497653123456789u}, {shell, sub}},
        {L"C:\\Plugins\\b.dll",
         {1, 133497653123456790u},
         {Record(L"C:\\Plugins\\b.dll", ScanStatus::kCrashed)}},
    };
    std::string problem;
    ASSERT_TRUE(SaveCache(file, saved, problem)) << problem;

    LoadedCache loaded = LoadCache(file);
    ASSERT_EQ(loaded.state, CacheState::kLoaded) << loaded.problem;
    ASSERT_EQ(loaded.entries.size(), saved.size());
    for (size_t at = 0; at < saved.size(); ++at) {
        EXPECT_EQ(loaded.entries[at].path, saved[at].path);
        EXPECT_TRUE(loaded.entries[at].stamp == saved[at].stamp);
        ASSERT_EQ(loaded.entries[at].records.size(), saved[at].records.size());
        for (size_t record = 0; record < saved[at].records.size(); ++record) {
            EXPECT_EQ(RecordToJson(loaded.entries[at].records[record]),
                      RecordToJson(saved[at].records[record]));
        }
    }
}

TEST(ScanCache, DamagedFilesAreCorruptWithTheReason) {
    TempFolder folder;
    EXPECT_EQ(LoadCache(folder.Path() + L"\\absent.json").state, CacheState::kAbsent);
    const std::string kHeader = "{\"format\": \"scan-plugins cache\", \"version\": 4, ";
    auto entry = [](const std::string& size) {
        return "{\"path\": \"C:\\\\a.dll\", \"size\": " + size +
               ", \"lastWrite\": 2, \"records\": [{\"path\": \"C:\\\\a.dll\", "
               "\"format\": \"vst2\", \"status\": \"crashed\", \"error\": \"\", \"seconds\": 0}]}";
    };
    const struct {
        std::string bytes;
        std::string problem;
    } kCases[] = {
        {kHeader + "\"plugins\": [", "it is not valid JSON"},
        {"[]", "it is not a scan-plugins cache of version 4"},
        {"{\"format\": \"scan-plugins cache\", \"version\": 3, \"plugins\": []}",
         "it is not a scan-plugins cache of version 4"},
        {kHeader + "\"plugins\": [" + entry("1") + ", {\"path\": 7}]}", "its entry 2 is malformed"},
        {kHeader + "\"plugins\": [" + entry("-1") + "]}", "its entry 1 is malformed"},
    };
    for (const auto& each : kCases) {
        folder.WriteFile(L"cache.json", each.bytes);
        LoadedCache loaded = LoadCache(folder.Path() + L"\\cache.json");
        EXPECT_EQ(loaded.state, CacheState::kCorrupt) << each.bytes;
        EXPECT_EQ(loaded.problem, each.problem) << each.bytes;
        EXPECT_TRUE(loaded.entries.empty());
    }
}

}  // namespace

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/ScanPluginsSupport.h"
#include "tools/scan-plugins/CacheJournal.h"

namespace {

CacheEntry Entry(const std::wstring& path, ScanStatus status) {
    ScanRecord record;
    record.path = path;
    record.status = status;
    return {path, {1, 2}, {record}};
}

std::string Line(const CacheEntry& entry) {
    return EntryToJson(entry).dump() + "\n";
}

std::vector<std::string> Outline(const std::vector<CacheEntry>& entries) {
    std::vector<std::string> lines;
    for (const CacheEntry& entry : entries) {
        lines.push_back(EntryToJson(entry)["path"].get<std::string>() + " " +
                        StatusName(entry.records.front().status));
    }
    return lines;
}

TEST(CacheJournal, WholeLinesReplaceOrAddEntriesAndTheRestIsSkipped) {
    TempFolder folder;
    const std::wstring cache = folder.Path() + L"\\cache.json";
    std::vector<CacheEntry> entries = {Entry(L"C:\\a.dll", ScanStatus::kCrashed),
                                       Entry(L"C:\\b.dll", ScanStatus::kOk)};
    // A later run's entry for a.dll (in other letter case), a damaged line, a new
    // file, and the torn line a killed run leaves.
    std::string torn = Line(Entry(L"C:\\d.dll", ScanStatus::kOk));
    folder.WriteFile(L"cache.json.journal", Line(Entry(L"C:\\A.DLL", ScanStatus::kOk)) +
                                                "{\"path\": 7}\n" +
                                                Line(Entry(L"C:\\c.dll", ScanStatus::kError)) +
                                                torn.substr(0, torn.size() - 1));
    EXPECT_EQ(TakeJournal(cache, entries), 2u);
    EXPECT_EQ(Outline(entries),
              (std::vector<std::string>{"C:\\A.DLL ok", "C:\\b.dll ok", "C:\\c.dll error"}));
}

TEST(CacheJournal, AppendedEntriesAreReadBackUntilTheJournalIsRemoved) {
    TempFolder folder;
    const std::wstring cache = folder.Path() + L"\\cache.json";
    folder.WriteFile(L"cache.json.journal", Line(Entry(L"C:\\old.dll", ScanStatus::kOk)));
    CacheJournal journal;
    std::string problem;
    ASSERT_TRUE(journal.Open(cache, problem)) << problem;
    for (const wchar_t* path : {L"C:\\x.dll", L"C:\\y.dll"}) {
        ASSERT_TRUE(journal.Append(Entry(path, ScanStatus::kTimedOut), problem)) << problem;
    }
    journal.Close();
    std::vector<CacheEntry> entries;
    EXPECT_EQ(TakeJournal(cache, entries), 2u);
    EXPECT_EQ(Outline(entries),
              (std::vector<std::string>{"C:\\x.dll timedOut", "C:\\y.dll timedOut"}));
    journal.Remove();
    EXPECT_FALSE(FileExists(cache + L".journal"));
}

}  // namespace

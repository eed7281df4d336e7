// The cache of earlier results: per plugin file its path, size and
// last-write time, and the records its scan gave.
#pragma once

#include <string>
#include <vector>

#include "tools/scan-plugins/PluginFiles.h"
#include "tools/scan-plugins/ScanRecord.h"

struct CacheEntry {
    std::wstring path;
    FileStamp stamp;
    std::vector<ScanRecord> records;
};

enum class CacheState { kLoaded, kAbsent, kCorrupt, kUnreadable };

struct LoadedCache {
    CacheState state = CacheState::kAbsent;
    std::vector<CacheEntry> entries;
    std::string problem;  // what is wrong, when corrupt or unreadable
};

LoadedCache LoadCache(const std::wstring& file);
// Moves the file aside to the first free name of FILE.bak, FILE.bak2, ...
[[nodiscard]] bool KeepAsBackup(const std::wstring& file, std::wstring& backup,
                                std::string& problem);
// One entry as it stands in the cache and its journal.
nlohmann::ordered_json EntryToJson(const CacheEntry& entry);
[[nodiscard]] bool EntryFromJson(const nlohmann::ordered_json& object, CacheEntry& entry);

[[nodiscard]] bool SaveCache(const std::wstring& file, const std::vector<CacheEntry>& entries,
                             std::string& problem);

// The texts of the cache and its journal apart from their files, so that
// whatever another run or a torn write left there is read as data. The
// cache's text gives kLoaded, or kCorrupt with the problem; the journal's the
// entries of its whole lines in order, each line that cannot be read skipped.
LoadedCache CacheFromText(const std::string& text);
std::string CacheToText(const std::vector<CacheEntry>& entries);
std::vector<CacheEntry> JournalEntries(const std::string& text);

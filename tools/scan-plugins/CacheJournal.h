// The cache's journal, FILE.journal beside the cache FILE: each plugin file's
// entry is appended and flushed as soon as the file is scanned, so a run that
// is killed loses only the files it was scanning, and the next run takes the
// rest from the journal. A run that ends folds it into the cache and removes it.
#pragma once

#include <string>
#include <vector>

#include "platform/KernelHandles.h"
#include "tools/scan-plugins/ScanCache.h"

// Puts the journal's entries into `entries`, each in place of an entry of the
// same path; lines that cannot be read (the torn last line of a killed run
// among them) are skipped, so those files are scanned again. Gives how many
// entries were taken.
size_t TakeJournal(const std::wstring& cacheFile, std::vector<CacheEntry>& entries);
std::wstring JournalPath(const std::wstring& cacheFile);

class CacheJournal {
public:
    // Starts an empty journal for the cache.
    [[nodiscard]] bool Open(const std::wstring& cacheFile, std::string& problem);
    bool IsOpen() const { return file_.IsValid(); }
    // One line per entry, on the disk before this returns.
    [[nodiscard]] bool Append(const CacheEntry& entry, std::string& problem);
    void Close() { file_.Close(); }
    // Closes and deletes the journal, once the cache holds all it had.
    void Remove();

private:
    UniqueFile file_;
    std::wstring path_;
};

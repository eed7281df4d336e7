#include "tools/scan-plugins/CacheJournal.h"

#include <windows.h>

#include <map>

#include "host/Text.h"
#include "tools/scan-plugins/FileIo.h"

using nlohmann::ordered_json;

std::wstring JournalPath(const std::wstring& cacheFile) {
    return cacheFile + L".journal";
}

size_t TakeJournal(const std::wstring& cacheFile, std::vector<CacheEntry>& entries) {
    std::string bytes, problem;
    if (ReadWholeFile(JournalPath(cacheFile), bytes, problem) != ReadResult::kRead) return 0;
    std::map<std::wstring, size_t> byPath;
    for (size_t at = 0; at < entries.size(); ++at) byPath[PathKey(entries[at].path)] = at;
    std::vector<CacheEntry> journal = JournalEntries(bytes);
    for (CacheEntry& entry : journal) {
        auto known = byPath.find(PathKey(entry.path));
        if (known != byPath.end()) {
            entries[known->second] = std::move(entry);
        } else {
            byPath[PathKey(entry.path)] = entries.size();
            entries.push_back(std::move(entry));
        }
    }
    return journal.size();
}

bool CacheJournal::Open(const std::wstring& cacheFile, std::string& problem) {
    path_ = JournalPath(cacheFile);
    file_.Reset(CreateFileW(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file_.IsValid()) return true;
    problem = SystemErrorText(GetLastError());
    return false;
}

bool CacheJournal::Append(const CacheEntry& entry, std::string& problem) {
    std::string line =
        EntryToJson(entry).dump(-1, ' ', false, ordered_json::error_handler_t::replace) + "\n";
    DWORD written = 0;
    if (WriteFile(file_.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
        written == line.size() && FlushFileBuffers(file_.Get())) {
        return true;
    }
    problem = SystemErrorText(GetLastError());
    return false;
}

void CacheJournal::Remove() {
    file_.Close();
    DeleteFileW(path_.c_str());
}

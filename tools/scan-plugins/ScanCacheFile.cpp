#include <windows.h>

#include "host/Text.h"
#include "tools/scan-plugins/FileIo.h"
#include "tools/scan-plugins/ScanCache.h"

LoadedCache LoadCache(const std::wstring& file) {
    LoadedCache cache;
    std::string bytes;
    switch (ReadWholeFile(file, bytes, cache.problem)) {
        case ReadResult::kAbsent:
            cache.state = CacheState::kAbsent;
            return cache;
        case ReadResult::kFailed:
            cache.state = CacheState::kUnreadable;
            return cache;
        case ReadResult::kRead:
            break;
    }
    return CacheFromText(bytes);
}

bool KeepAsBackup(const std::wstring& file, std::wstring& backup, std::string& problem) {
    DWORD error;
    if (MoveToFreeName(file, file + L".bak", L"", L"", backup, error)) return true;
    problem = error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS
                  ? "every backup name up to " + Utf8FromWide(backup) + " is taken"
                  : SystemErrorText(error);
    return false;
}

bool SaveCache(const std::wstring& file, const std::vector<CacheEntry>& entries,
               std::string& problem) {
    return WriteWholeFile(file, CacheToText(entries), problem);
}

// The plugin files named on the command line: files as they are, folders
// searched recursively for files ending in .dll, in a stable order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What tells a changed file from an unchanged one.
struct FileStamp {
    uint64_t size = 0;
    uint64_t lastWrite = 0;  // FILETIME, 100 ns units
};

bool operator==(const FileStamp& a, const FileStamp& b);

struct PluginFile {
    std::wstring path;       // absolute
    std::wstring shownName;  // relative to the folder it was found in
    FileStamp stamp;
};

struct Collection {
    std::vector<PluginFile> files;
    // Paths that do not exist or cannot be looked at: nothing is scanned then.
    std::vector<std::string> missing;
    // Folders that could not be read; they are left out.
    std::vector<std::string> unreadable;
};

Collection CollectPluginFiles(const std::vector<std::wstring>& paths);

std::wstring AbsolutePath(const std::wstring& path);
// Windows paths compare without regard to letter case.
std::wstring PathKey(const std::wstring& path);

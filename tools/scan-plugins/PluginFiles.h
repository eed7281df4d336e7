// The plugin files to scan: files named as they are, folders searched
// recursively for the files of the formats asked for (.dll, .clap, .vst3) and
// for VST3 bundles, in a stable order. A VST3 bundle counts as one file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "protocol/PluginFormat.h"

using FormatList = std::vector<protocol::PluginFormat>;

// What tells a changed file from an unchanged one.
struct FileStamp {
    uint64_t size = 0;
    uint64_t lastWrite = 0;  // FILETIME, 100 ns units
};

bool operator==(const FileStamp& a, const FileStamp& b);

struct PluginFile {
    std::wstring path;       // absolute; of a VST3 bundle its folder
    std::wstring shownName;  // relative to the folder it was found in
    FileStamp stamp;         // of a VST3 bundle its module's
    protocol::PluginFormat format = protocol::PluginFormat::kVst2;  // as the server scans it
};

// A file or folder to look at; a folder gives the files of these formats.
struct SearchRoot {
    std::wstring path;
    FormatList formats;
};

struct Collection {
    std::vector<PluginFile> files;
    // Paths that do not exist or cannot be looked at: nothing is scanned then.
    std::vector<std::string> missing;
    // Folders that could not be read; they are left out.
    std::vector<std::string> unreadable;
};

Collection CollectPluginFiles(const std::vector<SearchRoot>& roots);

// The library the server loads for the file: a VST3 bundle's module inside it,
// else the file itself.
std::wstring ModuleFile(const PluginFile& file);

std::wstring AbsolutePath(const std::wstring& path);
// Windows paths compare without regard to letter case.
std::wstring PathKey(const std::wstring& path);

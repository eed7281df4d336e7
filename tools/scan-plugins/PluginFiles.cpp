#include "tools/scan-plugins/PluginFiles.h"

#include <windows.h>

#include <algorithm>
#include <set>

#include "host/Text.h"
#include "platform/KernelHandles.h"

namespace {

struct FolderEntry {
    std::wstring name;
    bool isFolder;
    FileStamp stamp;
    protocol::PluginFormat format;
};

FileStamp StampOf(DWORD sizeHigh, DWORD sizeLow, const FILETIME& lastWrite) {
    FileStamp stamp;
    stamp.size = static_cast<uint64_t>(sizeHigh) << 32 | sizeLow;
    stamp.lastWrite =
        static_cast<uint64_t>(lastWrite.dwHighDateTime) << 32 | lastWrite.dwLowDateTime;
    return stamp;
}

// The x64 module inside a VST3 bundle, found as the server finds it.
std::wstring BundleModule(const std::wstring& bundle) {
    return bundle + protocol::kVst3BundleModuleFolder +
           bundle.substr(protocol::Vst3BundleNameOffset(bundle.c_str(), bundle.size()));
}

bool IsVst3Bundle(const std::wstring& folderName) {
    return protocol::HasFormatSuffix(folderName.c_str(), folderName.size(),
                                     protocol::PluginFormat::kVst3);
}

// A bundle changes when its module does; one without its module has no stamp.
FileStamp BundleStamp(const std::wstring& bundle) {
    std::wstring module = BundleModule(bundle);
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    if (!GetFileAttributesExW(module.c_str(), GetFileExInfoStandard, &attributes)) {
        return FileStamp();
    }
    return StampOf(attributes.nFileSizeHigh, attributes.nFileSizeLow, attributes.ftLastWriteTime);
}

// The format whose files the name is one of, among those asked for.
bool FindFileFormat(const std::wstring& name, const FormatList& formats,
                    protocol::PluginFormat& format) {
    for (protocol::PluginFormat each : formats) {
        if (protocol::HasFormatSuffix(name.c_str(), name.size(), each)) {
            format = each;
            return true;
        }
    }
    return false;
}

bool ComesBefore(const FolderEntry& a, const FolderEntry& b) {
    int order = CompareStringOrdinal(a.name.c_str(), -1, b.name.c_str(), -1, TRUE);
    if (order != CSTR_EQUAL) return order == CSTR_LESS_THAN;
    return a.name < b.name;
}

// Reparse-point folders (junctions, links) are not entered: they can loop.
// On failure `error` holds the system's error code.
bool ReadFolder(const std::wstring& folder, const FormatList& formats,
                std::vector<FolderEntry>& entries, DWORD& error) {
    WIN32_FIND_DATAW found;
    UniqueFindHandle search(FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (!search.IsValid()) {
        error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND;
    }
    do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        bool isFolder = found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        // A bundle is one plugin, never a folder of plugins.
        if (isFolder && IsVst3Bundle(name)) {
            if (std::find(formats.begin(), formats.end(), protocol::PluginFormat::kVst3) !=
                formats.end()) {
                entries.push_back({name, false, BundleStamp(folder + L"\\" + name),
                                   protocol::PluginFormat::kVst3});
            }
            continue;
        }
        if (isFolder && (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) continue;
        protocol::PluginFormat format = protocol::PluginFormat::kVst2;
        if (!isFolder && !FindFileFormat(name, formats, format)) continue;
        entries.push_back({name, isFolder,
                           StampOf(found.nFileSizeHigh, found.nFileSizeLow, found.ftLastWriteTime),
                           format});
    } while (FindNextFileW(search.Get(), &found));
    error = GetLastError();
    if (error != ERROR_NO_MORE_FILES) return false;
    std::sort(entries.begin(), entries.end(), ComesBefore);
    return true;
}

class Collector {
public:
    explicit Collector(Collection& collection) : collection_(collection) {}

    void AddFile(const std::wstring& path, const std::wstring& shownName, const FileStamp& stamp,
                 protocol::PluginFormat format) {
        if (!seen_.insert(PathKey(path)).second) return;
        collection_.files.push_back({path, shownName, stamp, format});
    }

    void AddFolder(const std::wstring& folder, const std::wstring& shownPrefix,
                   const FormatList& formats) {
        std::vector<FolderEntry> entries;
        DWORD error = 0;
        if (!ReadFolder(folder, formats, entries, error)) {
            collection_.unreadable.push_back(Utf8FromWide(folder) + ": " + SystemErrorText(error));
            return;
        }
        for (const FolderEntry& entry : entries) {
            std::wstring path = folder + L"\\" + entry.name;
            std::wstring shown = shownPrefix + entry.name;
            if (entry.isFolder) {
                AddFolder(path, shown + L"\\", formats);
            } else {
                AddFile(path, shown, entry.stamp, entry.format);
            }
        }
    }

private:
    Collection& collection_;
    std::set<std::wstring> seen_;
};

std::wstring WithoutTrailingSeparators(std::wstring path) {
    // A drive root keeps its backslash: "C:" alone means the current folder of C:.
    while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    return path;
}

}  // namespace

bool operator==(const FileStamp& a, const FileStamp& b) {
    return a.size == b.size && a.lastWrite == b.lastWrite;
}

std::wstring AbsolutePath(const std::wstring& path) {
    DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0) return path;
    std::wstring full(length, L'\0');
    length = GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
    full.resize(length);
    return full;
}

std::wstring PathKey(const std::wstring& path) {
    std::wstring key = path;
    if (!key.empty()) CharUpperBuffW(key.data(), static_cast<DWORD>(key.size()));
    return key;
}

Collection CollectPluginFiles(const std::vector<SearchRoot>& roots) {
    Collection collection;
    Collector collector(collection);
    for (const SearchRoot& root : roots) {
        const std::wstring& given = root.path;
        std::wstring path = WithoutTrailingSeparators(AbsolutePath(given));
        WIN32_FILE_ATTRIBUTE_DATA attributes;
        if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attributes)) {
            DWORD error = GetLastError();
            bool absent = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
                          error == ERROR_INVALID_NAME || error == ERROR_BAD_NETPATH;
            collection.missing.push_back(
                Utf8FromWide(given) + ": " +
                (absent ? "no such file or folder" : SystemErrorText(error)));
            continue;
        }
        std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
        bool isFolder = attributes.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        if (isFolder && IsVst3Bundle(name)) {
            collector.AddFile(path, name, BundleStamp(path), protocol::PluginFormat::kVst3);
        } else if (isFolder) {
            collector.AddFolder(path.back() == L'\\' ? path.substr(0, path.size() - 1) : path, L"",
                                root.formats);
        } else {
            // A file named is taken whatever its name, as the server would scan it.
            collector.AddFile(path, name,
                              StampOf(attributes.nFileSizeHigh, attributes.nFileSizeLow,
                                      attributes.ftLastWriteTime),
                              protocol::FormatOfLibraryPath(path.c_str(), path.size()));
        }
    }
    return collection;
}

std::wstring ModuleFile(const PluginFile& file) {
    DWORD attributes = GetFileAttributesW(file.path.c_str());
    if (file.format != protocol::PluginFormat::kVst3 || attributes == INVALID_FILE_ATTRIBUTES ||
        !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return file.path;
    }
    return BundleModule(file.path);
}

#include "tools/scan-plugins/StandardFolders.h"

#include <windows.h>

#include <algorithm>
#include <set>

#include "host/Text.h"
#include "platform/KernelHandles.h"

namespace {

using protocol::PluginFormat;

enum class Source {
    kFolderInVariable,  // %NAME%\PART
    kListInVariable,    // each entry of NAME, separated by ";"
    kRegistryValue,     // the value PART of HKEY_LOCAL_MACHINE\NAME
    kRegistryValue32,   // the same in the registry's 32-bit view
};

struct Place {
    PluginFormat format;
    Source source;
    const wchar_t* name;
    const wchar_t* part;
};

constexpr Place kPlaces[] = {
    {PluginFormat::kVst2, Source::kRegistryValue, L"SOFTWARE\\VST", L"VSTPluginsPath"},
    {PluginFormat::kVst2, Source::kRegistryValue32, L"SOFTWARE\\VST", L"VSTPluginsPath"},
    {PluginFormat::kVst2, Source::kFolderInVariable, L"PROGRAMFILES", L"VSTPlugins"},
    {PluginFormat::kVst2, Source::kFolderInVariable, L"PROGRAMFILES", L"Steinberg\\VSTPlugins"},
    {PluginFormat::kVst2, Source::kFolderInVariable, L"COMMONPROGRAMFILES", L"VST2"},
    {PluginFormat::kVst2, Source::kFolderInVariable, L"COMMONPROGRAMFILES", L"Steinberg\\VST2"},
    {PluginFormat::kClap, Source::kFolderInVariable, L"COMMONPROGRAMFILES", L"CLAP"},
    {PluginFormat::kClap, Source::kFolderInVariable, L"LOCALAPPDATA", L"Programs\\Common\\CLAP"},
    {PluginFormat::kClap, Source::kListInVariable, L"CLAP_PATH", nullptr},
    {PluginFormat::kVst3, Source::kFolderInVariable, L"COMMONPROGRAMFILES", L"VST3"},
    {PluginFormat::kVst3, Source::kFolderInVariable, L"LOCALAPPDATA", L"Programs\\Common\\VST3"},
};

// Empty when the variable is not set.
std::wstring ReadVariable(const wchar_t* name) {
    DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0) return std::wstring();
    std::wstring value(size, L'\0');
    size = GetEnvironmentVariableW(name, value.data(), size);
    value.resize(size < value.size() ? size : 0);
    return value;
}

// A text value under HKEY_LOCAL_MACHINE in the registry view given,
// REG_EXPAND_SZ expanded; empty when there is none.
std::wstring ReadRegistryText(const wchar_t* key, const wchar_t* value, REGSAM view) {
    UniqueRegistryKey opened;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE | view, opened.Receive()) !=
        ERROR_SUCCESS) {
        return std::wstring();
    }
    // Takes REG_EXPAND_SZ too, and expands it.
    DWORD flags = RRF_RT_REG_SZ;
    DWORD bytes = 0;
    LSTATUS status = RegGetValueW(opened.Get(), nullptr, value, flags, nullptr, nullptr, &bytes);
    std::wstring text;
    // The value may grow between the two calls.
    while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
        text.assign(bytes / sizeof(wchar_t) + 1, L'\0');
        bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        status = RegGetValueW(opened.Get(), nullptr, value, flags, nullptr, text.data(), &bytes);
        if (status == ERROR_SUCCESS) return text.substr(0, text.find(L'\0'));
    }
    return std::wstring();
}

std::vector<std::wstring> SplitList(const std::wstring& list) {
    std::vector<std::wstring> entries;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = std::min(list.find(L';', start), list.size());
        if (end > start) entries.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return entries;
}

// The folders a place names, with the reason for each; whether they exist is not asked.
std::vector<StandardFolder> FoldersOf(const Place& place) {
    std::vector<StandardFolder> folders;
    std::string name = Utf8FromWide(place.name);
    switch (place.source) {
        case Source::kFolderInVariable: {
            std::wstring base = ReadVariable(place.name);
            if (!base.empty()) {
                folders.push_back({base + L"\\" + place.part, place.format,
                                   "%" + name + "%\\" + Utf8FromWide(place.part)});
            }
            break;
        }
        case Source::kListInVariable:
            for (const std::wstring& entry : SplitList(ReadVariable(place.name))) {
                folders.push_back({entry, place.format, name});
            }
            break;
        case Source::kRegistryValue:
        case Source::kRegistryValue32: {
            bool view32 = place.source == Source::kRegistryValue32;
            std::wstring folder = ReadRegistryText(place.name, place.part,
                                                   view32 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY);
            if (!folder.empty()) {
                folders.push_back({folder, place.format,
                                   "HKEY_LOCAL_MACHINE\\" + name + ", value " +
                                       Utf8FromWide(place.part) +
                                       (view32 ? " (32-bit view)" : "")});
            }
            break;
        }
    }
    return folders;
}

bool IsFolder(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

std::vector<StandardFolder> FindStandardFolders(const FormatList& formats) {
    std::vector<StandardFolder> found;
    std::set<std::pair<PluginFormat, std::wstring>> seen;
    for (const Place& place : kPlaces) {
        if (std::find(formats.begin(), formats.end(), place.format) == formats.end()) continue;
        for (StandardFolder& folder : FoldersOf(place)) {
            folder.path = AbsolutePath(folder.path);
            while (folder.path.size() > 3 && folder.path.back() == L'\\') folder.path.pop_back();
            if (!IsFolder(folder.path) ||
                !seen.insert({place.format, PathKey(folder.path)}).second) {
                continue;
            }
            found.push_back(std::move(folder));
        }
    }
    return found;
}

std::string StandardFolderLines(const std::vector<StandardFolder>& folders) {
    std::string lines;
    for (const StandardFolder& folder : folders) {
        lines += std::string(protocol::FormatName(folder.format)) + "  " +
                 Utf8FromWide(folder.path) + "  (from " + folder.reason + ")\n";
    }
    return lines;
}

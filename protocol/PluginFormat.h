// The plugin formats the server scans and how a request names one: a library
// path ending in a format's file suffix (any letter case) is scanned as that
// format, every other path as VST 2. Shared by server and host, so both sides
// sort a file the same way; no Windows dependency.
#pragma once

#include <cstddef>
#include <cstring>

namespace protocol {

enum class PluginFormat { kVst2, kClap, kVst3 };

struct FormatNames {
    PluginFormat format;
    // The "format" member of reports and records.
    const char* name;
    // What a folder search takes (for VST3 bundle folders as well as files);
    // for VST 2 also what any unclaimed path is.
    const wchar_t* fileSuffix;
};

inline constexpr FormatNames kFormats[] = {
    {PluginFormat::kVst2, "vst2", L".dll"},
    {PluginFormat::kClap, "clap", L".clap"},
    {PluginFormat::kVst3, "vst3", L".vst3"},
};

// A VST3 bundle is a folder named like a module file; its x64 module is this
// folder inside it followed by the bundle's own name, suffix included.
inline constexpr wchar_t kVst3BundleModuleFolder[] = L"\\Contents\\x86_64-win\\";

// Where the bundle's own name starts in its path: after the last separator.
// The module path is the bundle path, kVst3BundleModuleFolder and that name.
inline size_t Vst3BundleNameOffset(const wchar_t* path, size_t length) {
    size_t start = 0;
    for (size_t at = 0; at < length; ++at) {
        if (path[at] == L'\\' || path[at] == L'/') start = at + 1;
    }
    return start;
}

inline const FormatNames& NamesOf(PluginFormat format) {
    for (const FormatNames& names : kFormats) {
        if (names.format == format) return names;
    }
    return kFormats[0];
}

inline const char* FormatName(PluginFormat format) {
    return NamesOf(format).name;
}

[[nodiscard]] inline bool FormatFromName(const char* name, PluginFormat& format) {
    for (const FormatNames& names : kFormats) {
        if (std::strcmp(names.name, name) == 0) {
            format = names.format;
            return true;
        }
    }
    return false;
}

// A name must stand before the suffix. Letter case is ignored for ASCII
// letters only, as the suffixes are ASCII.
inline bool EndsWithSuffix(const wchar_t* path, size_t length, const wchar_t* suffix) {
    size_t suffixLength = 0;
    while (suffix[suffixLength] != 0) ++suffixLength;
    if (length <= suffixLength) return false;
    const wchar_t* tail = path + length - suffixLength;
    for (size_t at = 0; at < suffixLength; ++at) {
        wchar_t unit = tail[at];
        if (unit >= L'A' && unit <= L'Z') unit = static_cast<wchar_t>(unit - L'A' + L'a');
        if (unit != suffix[at]) return false;
    }
    return true;
}

inline bool HasFormatSuffix(const wchar_t* path, size_t length, PluginFormat format) {
    return EndsWithSuffix(path, length, NamesOf(format).fileSuffix);
}

// The format a request's library path is scanned as.
inline PluginFormat FormatOfLibraryPath(const wchar_t* path, size_t length) {
    for (const FormatNames& names : kFormats) {
        if (names.format != PluginFormat::kVst2 && EndsWithSuffix(path, length, names.fileSuffix)) {
            return names.format;
        }
    }
    return PluginFormat::kVst2;
}

}  // namespace protocol

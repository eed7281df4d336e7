#include "tools/scan-plugins/Options.h"

#include <algorithm>
#include <cwchar>

#include "host/Text.h"
#include "tools/scan-plugins/CacheJournal.h"
#include "tools/scan-plugins/PluginFiles.h"

const char kUsage[] =
    "usage: scan-plugins [options] [PATH...]\n"
    "Scans plugins (VST 2 .dll, CLAP .clap, VST3 .vst3 files and bundles), named or\n"
    "found in folders and their subfolders, each in a scan server of its own, and\n"
    "writes one JSON record per plugin, per sub-plugin of a shell, per plugin in a\n"
    "CLAP file and per audio processor of a VST3 module. Without a PATH it scans the\n"
    "standard plugin folders that exist (see --list-folders).\n"
    "\n"
    "  --format LIST      only these formats, separated by commas: vst2, clap, vst3\n"
    "                     (default: all)\n"
    "  --list-folders     print the standard folders and where each comes from\n"
    "  --out FILE         write the records to FILE instead of standard output\n"
    "  --cache FILE       take unchanged plugins (same path, size and last-write\n"
    "                     time) from FILE and keep the new results there\n"
    "  --retry-failed     scan again what the cache has as crashed or timed out\n"
    "  --moduleinfo-only  list VST3 bundles from their moduleinfo.json, loading no\n"
    "                     code; bundles without one are scanned as usual\n"
    "  --jobs N           servers side by side (default: the number of processors)\n"
    "  --timeout SECONDS  time one plugin has to answer (default: 30)\n"
    "  --dumps FOLDER     where crash dumps go (default: scan-dumps in the current folder)\n"
    "  --server FILE      the scan server (default: ScanServer-x64.exe beside this program)\n"
    "  --help             this text\n";

namespace {

bool ParseJobs(const std::wstring& text, unsigned& jobs) {
    wchar_t* end = nullptr;
    unsigned long value = std::wcstoul(text.c_str(), &end, 10);
    if (text.empty() || *end != L'\0' || text[0] == L'-' || value < 1 || value > 256) return false;
    jobs = static_cast<unsigned>(value);
    return true;
}

bool ParseTimeout(const std::wstring& text, DWORD& milliseconds) {
    wchar_t* end = nullptr;
    double seconds = std::wcstod(text.c_str(), &end);
    if (text.empty() || *end != L'\0' || !(seconds >= 0.001) || seconds > 86400) return false;
    milliseconds = static_cast<DWORD>(seconds * 1000 + 0.5);
    return true;
}

bool ParseFormats(const std::wstring& text, std::vector<protocol::PluginFormat>& formats) {
    formats.clear();
    std::string list = Utf8FromWide(text) + ",";
    for (size_t start = 0, comma; (comma = list.find(',', start)) != std::string::npos;
         start = comma + 1) {
        protocol::PluginFormat format;
        if (!protocol::FormatFromName(list.substr(start, comma - start).c_str(), format)) {
            return false;
        }
        if (std::find(formats.begin(), formats.end(), format) == formats.end()) {
            formats.push_back(format);
        }
    }
    return true;
}

std::string FormatNames() {
    std::string names;
    for (const protocol::FormatNames& each : protocol::kFormats) {
        names += (names.empty() ? "" : ", ") + std::string(each.name);
    }
    return names;
}

// Records written over the cache (or its journal) would be overwritten by
// the cache at the end of the run, so the two are refused together. Paths
// compare in full and without regard to letter case, as Windows opens them.
bool OutIsApartFromCache(const Options& options, std::string& problem) {
    if (options.out.empty() || options.cache.empty()) return true;
    std::wstring out = PathKey(AbsolutePath(options.out));
    std::wstring cache = AbsolutePath(options.cache);
    for (const std::wstring& taken : {cache, JournalPath(cache)}) {
        if (out != PathKey(taken)) continue;
        problem = "--out " + Utf8FromWide(options.out) + " names " +
                  (taken == cache ? "the cache" : "the cache's journal") + " " +
                  Utf8FromWide(taken) + "; the records need a file of their own";
        return false;
    }
    return true;
}

}  // namespace

bool ParseOptions(int argc, wchar_t** argv, Options& options, std::string& problem) {
    bool pathsOnly = false;
    for (int at = 1; at < argc; ++at) {
        std::wstring argument = argv[at];
        if (pathsOnly || argument.size() < 2 || argument.compare(0, 2, L"--") != 0) {
            options.paths.push_back(argument);
            continue;
        }
        if (argument == L"--") {
            pathsOnly = true;
        } else if (argument == L"--help") {
            options.help = true;
        } else if (argument == L"--retry-failed") {
            options.retryFailed = true;
        } else if (argument == L"--moduleinfo-only") {
            options.moduleInfoOnly = true;
        } else if (argument == L"--list-folders") {
            options.listFolders = true;
        } else if (argument == L"--out" || argument == L"--cache" || argument == L"--jobs" ||
                   argument == L"--timeout" || argument == L"--dumps" || argument == L"--server" ||
                   argument == L"--format") {
            if (at + 1 >= argc || argv[at + 1][0] == L'\0') {
                problem = Utf8FromWide(argument) + " needs a value";
                return false;
            }
            std::wstring value = argv[++at];
            if (argument == L"--out") {
                options.out = value;
            } else if (argument == L"--cache") {
                options.cache = value;
            } else if (argument == L"--dumps") {
                options.dumps = value;
            } else if (argument == L"--server") {
                options.server = value;
            } else if (argument == L"--format" && !ParseFormats(value, options.formats)) {
                problem = "--format takes formats separated by commas (" + FormatNames() +
                          "), not " + Utf8FromWide(value);
                return false;
            } else if (argument == L"--jobs" && !ParseJobs(value, options.jobs)) {
                problem = "--jobs takes a whole number from 1 to 256, not " + Utf8FromWide(value);
                return false;
            } else if (argument == L"--timeout" &&
                       !ParseTimeout(value, options.timeoutMilliseconds)) {
                problem = "--timeout takes a number of seconds above 0 and up to 86400, not " +
                          Utf8FromWide(value);
                return false;
            }
        } else {
            problem = "unknown option " + Utf8FromWide(argument);
            return false;
        }
    }
    if (options.listFolders && !options.paths.empty()) {
        problem = "--list-folders takes no PATH";
        return false;
    }
    if (!OutIsApartFromCache(options, problem)) return false;
    // Records of a first look must not stand in the cache for a full scan.
    if (options.moduleInfoOnly && !options.cache.empty()) {
        problem = "--moduleinfo-only does not go with --cache";
        return false;
    }
    if (options.formats.empty()) {
        for (const protocol::FormatNames& each : protocol::kFormats) {
            options.formats.push_back(each.format);
        }
    }
    return true;
}

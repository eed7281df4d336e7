// scan-plugins: scans plugin files and folders with scan servers side by side
// and writes what it found as JSON. See kUsage in Options.cpp.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <thread>

#include "host/ServerProcess.h"
#include "host/Text.h"
#include "tools/scan-plugins/CacheJournal.h"
#include "tools/scan-plugins/FileIo.h"
#include "tools/scan-plugins/ModuleInfoRecords.h"
#include "tools/scan-plugins/Options.h"
#include "tools/scan-plugins/Progress.h"
#include "tools/scan-plugins/ScanCache.h"
#include "tools/scan-plugins/Scanner.h"
#include "tools/scan-plugins/StandardFolders.h"

namespace {

using nlohmann::ordered_json;

constexpr DWORD kProgressRefreshMilliseconds = 250;
constexpr DWORD kShortestStartLimitMilliseconds = 60000;

void Complain(const std::string& text) {
    WriteStandardError("scan-plugins: " + text + "\n");
}

bool HasFailure(const std::vector<ScanRecord>& records) {
    return std::any_of(records.begin(), records.end(),
                       [](const ScanRecord& record) { return IsFailure(record.status); });
}

// Reads the cache; a corrupt one is moved aside, with a word about it. False
// when the run cannot go on.
[[nodiscard]] bool LoadUsableCache(const std::wstring& file, std::vector<CacheEntry>& entries) {
    LoadedCache cache = LoadCache(file);
    switch (cache.state) {
        case CacheState::kAbsent:
            return true;
        case CacheState::kLoaded:
            entries = std::move(cache.entries);
            return true;
        case CacheState::kUnreadable:
            Complain("cannot read the cache " + Utf8FromWide(file) + ": " + cache.problem);
            return false;
        case CacheState::kCorrupt:
            break;
    }
    std::wstring backup;
    std::string problem;
    if (!KeepAsBackup(file, backup, problem)) {
        Complain("the cache " + Utf8FromWide(file) + " is corrupt (" + cache.problem +
                 ") and cannot be moved aside: " + problem);
        return false;
    }
    Complain("the cache " + Utf8FromWide(file) + " is corrupt (" + cache.problem +
             "); it is kept as " + Utf8FromWide(backup) + " and every plugin is scanned again");
    return true;
}

// Entries a killed run left in the journal go into the cache before this
// run's journal starts.
[[nodiscard]] bool StartJournal(const std::wstring& cacheFile, std::vector<CacheEntry>& cached,
                                CacheJournal& journal) {
    std::string problem;
    if (TakeJournal(cacheFile, cached) > 0 && !SaveCache(cacheFile, cached, problem)) {
        Complain("cannot write the cache " + Utf8FromWide(cacheFile) + ": " + problem);
        return false;
    }
    if (journal.Open(cacheFile, problem)) return true;
    Complain("cannot write the journal of the cache " + Utf8FromWide(cacheFile) + ": " + problem);
    return false;
}

// Each finished file reaches the journal at once; after a failed write the run
// goes on without it, and the cache is still written at the end.
void Journal(CacheJournal& journal, const FileWork& item) {
    std::string problem;
    if (!journal.IsOpen() ||
        journal.Append({item.file.path, item.file.stamp, item.records}, problem)) {
        return;
    }
    Complain("cannot write the journal of the cache: " + problem +
             "; a run that is cut short now loses what it scanned");
    journal.Close();
}

std::vector<FileWork> PlanWork(const std::vector<PluginFile>& files,
                               const std::vector<CacheEntry>& cached, bool retryFailed) {
    std::map<std::wstring, const CacheEntry*> byPath;
    for (const CacheEntry& entry : cached) byPath[PathKey(entry.path)] = &entry;
    std::vector<FileWork> work;
    for (const PluginFile& file : files) {
        FileWork item;
        item.file = file;
        auto entry = byPath.find(PathKey(file.path));
        if (entry != byPath.end() && entry->second->stamp == file.stamp &&
            !(retryFailed && HasFailure(entry->second->records))) {
            item.fromCache = true;
            item.records = entry->second->records;
            for (ScanRecord& record : item.records) record.path = file.path;
        }
        work.push_back(std::move(item));
    }
    return work;
}

// The entries of this run, after those of earlier runs whose files still exist.
std::vector<CacheEntry> NextCache(const std::vector<CacheEntry>& cached,
                                  const std::vector<FileWork>& work) {
    std::map<std::wstring, bool> inRun;
    for (const FileWork& item : work) inRun[PathKey(item.file.path)] = true;
    std::vector<CacheEntry> entries;
    for (const CacheEntry& entry : cached) {
        if (inRun.count(PathKey(entry.path)) == 0 &&
            GetFileAttributesW(entry.path.c_str()) != INVALID_FILE_ATTRIBUTES) {
            entries.push_back(entry);
        }
    }
    for (const FileWork& item : work)
        entries.push_back({item.file.path, item.file.stamp, item.records});
    return entries;
}

[[nodiscard]] bool WriteRecords(const std::wstring& out, const std::vector<FileWork>& work) {
    ordered_json records = ordered_json::array();
    for (const FileWork& item : work) {
        for (const ScanRecord& record : item.records) records.push_back(RecordToJson(record));
    }
    std::string text = records.dump(2, ' ', false, ordered_json::error_handler_t::replace) + "\n";
    std::string problem;
    if (!out.empty()) {
        if (WriteWholeFile(out, text, problem)) return true;
        Complain("cannot write the records to " + Utf8FromWide(out) + ": " + problem);
        return false;
    }
    _setmode(_fileno(stdout), _O_BINARY);
    if (std::fwrite(text.data(), 1, text.size(), stdout) == text.size() &&
        std::fflush(stdout) == 0) {
        return true;
    }
    Complain("cannot write the records to standard output");
    return false;
}

[[nodiscard]] bool CheckServer(const std::wstring& server) {
    DWORD attributes = GetFileAttributesW(server.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return true;
    }
    Complain("cannot start the scan server " + Utf8FromWide(server) + ": " +
             (attributes == INVALID_FILE_ATTRIBUTES ? SystemErrorText(GetLastError())
                                                    : std::string("it is a folder")));
    return false;
}

// Runs the scan with its progress display; says why it had to stop, if it did.
std::string ScanWithProgress(const ScanSettings& settings, std::vector<FileWork>& work,
                             CacheJournal& journal, unsigned& servers) {
    size_t toScan = static_cast<size_t>(std::count_if(
        work.begin(), work.end(), [](const FileWork& item) { return !item.fromCache; }));
    servers = static_cast<unsigned>(std::min<size_t>(settings.jobs, toScan));
    ProgressDisplay display(toScan, StandardErrorIsTerminal());
    auto start = std::chrono::steady_clock::now();
    ScanRun run(settings, work);
    run.Start();
    for (;;) {
        ScanProgress progress = run.WaitForProgress(kProgressRefreshMilliseconds);
        for (size_t index : progress.finished) {
            Journal(journal, work[index]);
            display.Finished(work[index]);
        }
        if (progress.ended) {
            display.Clear();
            return progress.fatal;
        }
        std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        if (progress.anyRunning) display.ShowCurrent(work[progress.oldestRunning], elapsed.count());
    }
}

// The paths given, with the formats asked for, or else the standard folders.
std::vector<SearchRoot> SearchRoots(const Options& options) {
    std::vector<SearchRoot> roots;
    for (const std::wstring& path : options.paths) roots.push_back({path, options.formats});
    if (!options.paths.empty()) return roots;
    for (const StandardFolder& folder : FindStandardFolders(options.formats)) {
        roots.push_back({folder.path, {folder.format}});
    }
    return roots;
}

int ListFolders(const Options& options) {
    std::vector<StandardFolder> folders = FindStandardFolders(options.formats);
    if (folders.empty()) Complain("none of the standard folders exists");
    std::string lines = StandardFolderLines(folders);
    _setmode(_fileno(stdout), _O_BINARY);
    if (std::fwrite(lines.data(), 1, lines.size(), stdout) == lines.size() &&
        std::fflush(stdout) == 0) {
        return 0;
    }
    Complain("cannot write the folders to standard output");
    return 1;
}

int Run(const Options& options) {
    auto start = std::chrono::steady_clock::now();
    Collection collection = CollectPluginFiles(SearchRoots(options));
    for (const std::string& missing : collection.missing) Complain(missing);
    if (!collection.missing.empty()) return 1;
    for (const std::string& unreadable : collection.unreadable) {
        Complain("cannot read the folder " + unreadable + "; it is left out");
    }

    // The records of a long scan are not lost to an output that cannot be written.
    std::string problem;
    if (!options.out.empty() && !CheckWritable(options.out, problem)) {
        Complain("cannot write the records to " + Utf8FromWide(options.out) + ": " + problem);
        return 1;
    }

    std::wstring cacheFile = options.cache.empty() ? std::wstring() : AbsolutePath(options.cache);
    std::vector<CacheEntry> cached;
    CacheJournal journal;
    if (!cacheFile.empty() &&
        (!LoadUsableCache(cacheFile, cached) || !StartJournal(cacheFile, cached, journal))) {
        return 1;
    }
    std::vector<FileWork> work = PlanWork(collection.files, cached, options.retryFailed);

    ScanSettings settings;
    settings.server.serverPath = AbsolutePath(
        options.server.empty() ? ProgramDirectory() + L"ScanServer-x64.exe" : options.server);
    settings.server.ownerWindow = reinterpret_cast<uintptr_t>(GetConsoleWindow());
    settings.server.startTimeoutMilliseconds =
        std::max(kShortestStartLimitMilliseconds, options.timeoutMilliseconds);
    settings.timeoutMilliseconds = options.timeoutMilliseconds;
    settings.moduleInfoOnly = options.moduleInfoOnly;
    settings.jobs = options.jobs ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
    settings.dumpFolder = AbsolutePath(options.dumps.empty() ? L"scan-dumps" : options.dumps);

    bool anyToScan =
        std::any_of(work.begin(), work.end(), [](const FileWork& item) { return !item.fromCache; });
    bool dumpFolderMade = false;
    if (anyToScan) {
        if (!CheckServer(settings.server.serverPath)) return 1;
        dumpFolderMade = CreateDirectoryW(settings.dumpFolder.c_str(), nullptr) != 0;
        if (!dumpFolderMade && GetLastError() != ERROR_ALREADY_EXISTS) {
            Complain("cannot make the dump folder " + Utf8FromWide(settings.dumpFolder) + ": " +
                     SystemErrorText(GetLastError()));
            return 1;
        }
    }
    unsigned servers = 0;
    std::string fatal =
        anyToScan ? ScanWithProgress(settings, work, journal, servers) : std::string();
    // An empty dump folder made for this run is not left behind.
    if (dumpFolderMade) RemoveDirectoryW(settings.dumpFolder.c_str());
    if (!fatal.empty()) {
        Complain(fatal);
        return 1;
    }
    MarkLateFaults(work);
    MarkReplacements(work);

    // The cache is kept up to date even when the records cannot be written.
    bool written = WriteRecords(options.out, work);
    if (!cacheFile.empty()) {
        if (SaveCache(cacheFile, NextCache(cached, work), problem)) {
            journal.Remove();
        } else {
            Complain("cannot write the cache " + Utf8FromWide(cacheFile) + ": " + problem);
            written = false;
        }
    }
    if (!written) return 1;
    std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    WriteStandardError(SummaryText(work, elapsed.count(), servers));
    return collection.unreadable.empty() ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Options options;
    std::string problem;
    if (!ParseOptions(argc, argv, options, problem)) {
        Complain(problem);
        WriteStandardError(kUsage);
        return 2;
    }
    if (options.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (options.listFolders) return ListFolders(options);
    return Run(options);
}

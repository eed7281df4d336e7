// Scans plugin files with several servers side by side: each worker owns one
// server and takes the next file; a crash or a timeout costs the worker its
// server, and it starts a new one to scan that plugin again alone before the
// failure is recorded; a CLAP file or VST3 module then has its factory read
// alone, so that its records still name each plugin. Shells are scanned with their sub-plugins on
// the same server; a CLAP file gives all its plugins, a VST3 module all its classes, in one answer.
// Files no server can load are recorded without a request.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/ScanClient.h"
#include "tools/scan-plugins/PluginFiles.h"
#include "tools/scan-plugins/ScanRecord.h"

struct ScanSettings {
    ServerSettings server;  // each worker gets a dump directory of its own
    std::wstring dumpFolder;
    DWORD timeoutMilliseconds = 30000;
    unsigned jobs = 1;
    // Bundles with a moduleinfo.json are listed from it, none of their code loaded.
    bool moduleInfoOnly = false;
};

struct FileWork {
    PluginFile file;
    bool fromCache = false;
    // The file's own record, then its sub-plugins; for a CLAP file one record
    // per plugin, for a VST3 module one per audio processor class, or the
    // file's own when it gave none.
    std::vector<ScanRecord> records;
};

struct ScanProgress {
    std::vector<size_t> finished;  // files finished since the last look, in that order
    // The file scanned longest among those being scanned: what the run waits on.
    size_t oldestRunning = 0;
    bool anyRunning = false;
    bool ended = false;  // every worker has stopped
    std::string fatal;   // why the run had to stop, when it did
};

// Marks the first record of each file whose module a record's unconfirmed
// crash names as faulting: its thread faulted after its own scan had ended.
void MarkLateFaults(std::vector<FileWork>& work);

class ScanRun {
public:
    ScanRun(const ScanSettings& settings, std::vector<FileWork>& work);
    ~ScanRun();
    ScanRun(const ScanRun&) = delete;
    ScanRun& operator=(const ScanRun&) = delete;

    void Start();
    // Waits until a file is finished, the run ends or the time has passed.
    ScanProgress WaitForProgress(DWORD milliseconds);

private:
    void Work(unsigned worker);
    [[nodiscard]] bool TakeNext(unsigned worker, size_t& index);
    // Stops the run with the worker's reason, unless an earlier one stopped it.
    void ReportWorkerFailure(unsigned worker, const std::string& failure);
    void EndWorker(unsigned worker);
    [[nodiscard]] bool ScanFile(ScanClient& client, FileWork& work, std::string& failure);
    // `lines` are those of the answer the record keeps.
    [[nodiscard]] bool ScanRequest(ScanClient& client, const std::wstring& request,
                                   ScanRecord& record, ChannelLines& lines, std::string& failure);
    [[nodiscard]] bool AddFactoryFacts(ScanClient& client, ScanRecord& file, std::string& failure);
    [[nodiscard]] bool ScanOnce(ScanClient& client, const std::wstring& request, ScanRecord& record,
                                ChannelLines& lines, std::string& failure);
    std::wstring WorkerDumpFolder(unsigned worker) const;

    const ScanSettings& settings_;
    std::vector<FileWork>& work_;
    std::vector<std::thread> workers_;

    std::mutex mutex_;
    std::condition_variable changed_;
    size_t next_ = 0;
    unsigned running_ = 0;
    std::vector<size_t> scanning_;  // per worker: the file it scans, if any
    ScanProgress progress_;
};

#include "tools/scan-plugins/Scanner.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <utility>

#include "host/ImageMachine.h"
#include "host/Text.h"
#include "tools/scan-plugins/ServerChoice.h"

namespace {

constexpr size_t kIdle = SIZE_MAX;

double SecondsSince(std::chrono::steady_clock::time_point start) {
    std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return std::round(elapsed.count() * 1000) / 1000;
}

std::string SecondsText(DWORD milliseconds) {
    char text[32];
    std::snprintf(text, sizeof(text), "%g s", milliseconds / 1000.0);
    return text;
}

// Moves a dump from a worker's own folder into the dump folder, keeping its
// name unless an earlier dump has it; gives where the dump is in the end.
std::wstring SettleDump(const std::wstring& dump, const std::wstring& folder) {
    std::wstring name = dump.substr(dump.find_last_of(L'\\') + 1);
    std::wstring stem = name.substr(0, name.size() - 5);  // without ".mdmp"
    for (int number = 1; number < 1000; ++number) {
        std::wstring target = folder + L"\\" + stem +
                              (number == 1 ? std::wstring() : L"-" + std::to_wstring(number)) +
                              L".mdmp";
        if (MoveFileExW(dump.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) return target;
        DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) break;
    }
    return dump;
}

// A file no scan server can load gets its record without a round trip. A file
// that cannot be read is left to the server, which says why it cannot load it.
bool RecordUnsupported(const std::wstring& path, ScanRecord& record) {
    ImageHeader image;
    std::string whyNot;
    if (!ReadImageMachine(path, image) || HasServerFor(image, whyNot)) return false;
    record.status = ScanStatus::kUnsupported;
    record.error = whyNot;
    return true;
}

// The classes a user picks, each with the factory's vendor where it names none.
void KeepAudioProcessors(Vst3Report& report) {
    std::vector<Vst3Class> processors;
    for (Vst3Class& found : report.classes) {
        if (found.category != kVst3AudioModuleClass) continue;
        if (found.vendor.empty()) found.vendor = report.factoryVendor;
        processors.push_back(std::move(found));
    }
    report.classes = std::move(processors);
}

// One record per item of the file's list, each the file's record with that
// item alone in the list and the time of the file's one scan; the file's own
// record when the list is empty, an error when the scan succeeded all the same.
template <typename Report, typename Item>
void AddRecordPerItem(ScanRecord& file, Report& report, std::vector<Item>& list, const char* noItem,
                      std::vector<ScanRecord>& records) {
    std::vector<Item> items = std::move(list);
    list.clear();
    if (file.status == ScanStatus::kOk && items.empty()) {
        file.status = ScanStatus::kError;
        file.error = report.error = noItem;
    }
    if (items.empty()) records.push_back(file);
    for (Item& item : items) {
        list.assign(1, std::move(item));
        records.push_back(file);
    }
}

}  // namespace

ScanRun::ScanRun(const ScanSettings& settings, std::vector<FileWork>& work)
    : settings_(settings), work_(work) {}

ScanRun::~ScanRun() {
    for (std::thread& worker : workers_) worker.join();
}

std::wstring ScanRun::WorkerDumpFolder(unsigned worker) const {
    return settings_.dumpFolder + L"\\.server-" + std::to_wstring(worker + 1);
}

void ScanRun::Start() {
    size_t toScan = 0;
    for (const FileWork& work : work_) toScan += work.fromCache ? 0 : 1;
    unsigned count = static_cast<unsigned>(std::min<size_t>(settings_.jobs, toScan));
    std::lock_guard<std::mutex> guard(mutex_);
    running_ = count;
    scanning_.assign(count, kIdle);
    progress_.ended = count == 0;
    for (unsigned worker = 0; worker < count; ++worker) {
        workers_.emplace_back([this, worker] { Work(worker); });
    }
}

ScanProgress ScanRun::WaitForProgress(DWORD milliseconds) {
    std::unique_lock<std::mutex> guard(mutex_);
    changed_.wait_for(guard, std::chrono::milliseconds(milliseconds),
                      [this] { return !progress_.finished.empty() || progress_.ended; });
    ScanProgress seen = progress_;
    progress_.finished.clear();
    // Files are taken in order, so the lowest one being scanned began first.
    auto oldest = std::min_element(scanning_.begin(), scanning_.end());
    seen.anyRunning = oldest != scanning_.end() && *oldest != kIdle;
    if (seen.anyRunning) seen.oldestRunning = *oldest;
    return seen;
}

bool ScanRun::TakeNext(unsigned worker, size_t& index) {
    std::lock_guard<std::mutex> guard(mutex_);
    scanning_[worker] = kIdle;
    while (next_ < work_.size() && work_[next_].fromCache) ++next_;
    if (next_ == work_.size() || !progress_.fatal.empty()) return false;
    index = next_++;
    scanning_[worker] = index;
    return true;
}

void ScanRun::Work(unsigned worker) {
    ServerSettings server = settings_.server;
    server.dumpDirectory = WorkerDumpFolder(worker);
    if (!CreateDirectoryW(server.dumpDirectory.c_str(), nullptr) &&
        GetLastError() != ERROR_ALREADY_EXISTS) {
        ReportWorkerFailure(worker, "cannot make the dump folder " +
                                        Utf8FromWide(server.dumpDirectory) + ": " +
                                        SystemErrorText(GetLastError()));
        return;
    }
    ScanClient client(server);
    size_t index;
    std::string failure;
    while (TakeNext(worker, index)) {
        bool scanned = ScanFile(client, work_[index], failure);
        std::lock_guard<std::mutex> guard(mutex_);
        if (!scanned) {
            if (progress_.fatal.empty()) progress_.fatal = failure;
            break;
        }
        progress_.finished.push_back(index);
        changed_.notify_all();
    }
    client.Stop();
    // Left only when empty: a dump that could not be moved stays where it is.
    RemoveDirectoryW(server.dumpDirectory.c_str());
    EndWorker(worker);
}

void ScanRun::ReportWorkerFailure(unsigned worker, const std::string& failure) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (progress_.fatal.empty()) progress_.fatal = failure;
    }
    EndWorker(worker);
}

void ScanRun::EndWorker(unsigned worker) {
    std::lock_guard<std::mutex> guard(mutex_);
    scanning_[worker] = kIdle;
    progress_.ended = --running_ == 0;
    changed_.notify_all();
}

bool ScanRun::ScanFile(ScanClient& client, FileWork& work, std::string& failure) {
    work.records.clear();
    ScanRecord plugin;
    plugin.path = work.file.path;
    plugin.format = work.file.format;
    if (RecordUnsupported(ModuleFile(work.file), plugin)) {
        work.records.push_back(plugin);
        return true;
    }
    if (work.file.format != protocol::PluginFormat::kVst2) {
        return ScanListingFile(client, work, failure);
    }
    if (!ScanRequest(client, work.file.path, plugin, failure)) return false;
    work.records.push_back(plugin);
    if (!plugin.hasReport || plugin.report.category != protocol::kShellCategory) return true;
    for (const ShellPlugin& shell : plugin.report.shells) {
        ScanRecord sub;
        sub.path = work.file.path;
        sub.isSubPlugin = true;
        sub.shellId = shell.id;
        if (!ScanRequest(client, ShellRequest(work.file.path, shell.id), sub, failure)) {
            return false;
        }
        work.records.push_back(sub);
    }
    return true;
}

bool ScanRun::ScanListingFile(ScanClient& client, FileWork& work, std::string& failure) {
    ScanRecord file;
    file.path = work.file.path;
    file.format = work.file.format;
    if (!ScanRequest(client, work.file.path, file, failure)) return false;
    if (file.format == protocol::PluginFormat::kClap) {
        AddRecordPerItem(file, file.clapReport, file.clapReport.plugins,
                         "The file holds no CLAP plugin", work.records);
    } else {
        KeepAudioProcessors(file.vst3Report);
        AddRecordPerItem(file, file.vst3Report, file.vst3Report.classes,
                         "The module holds no audio processor class", work.records);
    }
    return true;
}

// A server can end during a request through no fault of the plugin it scans:
// a thread an earlier plugin left behind faults, or the server was failing
// already. So a failure counts only when the plugin repeats it alone, in a
// fresh server; a clean second scan keeps its result and notes the first.
bool ScanRun::ScanRequest(ScanClient& client, const std::wstring& request, ScanRecord& record,
                          std::string& failure) {
    ScanRecord first = record;
    if (!ScanOnce(client, request, first, failure)) return false;
    if (!IsFailure(first.status)) {
        record = std::move(first);
        return true;
    }
    ScanRecord again = record;
    if (!ScanOnce(client, request, again, failure)) return false;
    again.seconds = std::round((first.seconds + again.seconds) * 1000) / 1000;
    if (IsFailure(again.status)) {
        // The record tells of the scan alone; its dump is the one kept.
        if (!first.end.dumpPath.empty()) DeleteFileW(first.end.dumpPath.c_str());
    } else {
        again.unconfirmed = UnconfirmedFailure{first.status, first.error, first.end};
    }
    record = std::move(again);
    return true;
}

bool ScanRun::ScanOnce(ScanClient& client, const std::wstring& request, ScanRecord& record,
                       std::string& failure) {
    if (!client.IsRunning() && !client.Start(failure)) return false;
    auto start = std::chrono::steady_clock::now();
    ScanAnswer answer = client.Scan(request, settings_.timeoutMilliseconds);
    record.seconds = SecondsSince(start);
    record.warnings = std::move(answer.lines.warnings);
    switch (answer.end) {
        case ScanEnd::kAnswered:
            if (answer.reportRead && answer.format == record.format) {
                record.hasReport = true;
                record.error = ReportError(answer);
                record.report = std::move(answer.report);
                record.clapReport = std::move(answer.clapReport);
                record.vst3Report = std::move(answer.vst3Report);
                record.status = record.error.empty() ? ScanStatus::kOk : ScanStatus::kError;
            } else {
                record.status = ScanStatus::kError;
                record.error = "The scan server's report could not be read";
            }
            break;
        case ScanEnd::kTimedOut:
            record.status = ScanStatus::kTimedOut;
            record.error = "No answer within " + SecondsText(settings_.timeoutMilliseconds) +
                           "; the scan server was ended";
            break;
        case ScanEnd::kCrashed:
        case ScanEnd::kServerFailed:
            record.status =
                answer.end == ScanEnd::kCrashed ? ScanStatus::kCrashed : ScanStatus::kServerFailed;
            record.error = ServerEndText(answer.end, answer.exitCode);
            record.end.exitCode = answer.exitCode;
            if (!answer.dumpPath.empty()) {
                record.end.dumpPath = SettleDump(answer.dumpPath, settings_.dumpFolder);
                record.end.faultModule = answer.faultModule;
            } else if (answer.exitCode == std::optional<DWORD>(protocol::kCrashExitCode)) {
                record.error += "; it left no dump";
            }
            break;
    }
    return true;
}

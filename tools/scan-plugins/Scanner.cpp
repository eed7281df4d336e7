#include "tools/scan-plugins/Scanner.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <utility>
#include <variant>

#include "host/ImageMachine.h"
#include "host/Text.h"
#include "protocol/Protocol.h"
#include "tools/scan-plugins/FileIo.h"
#include "tools/scan-plugins/FormatRecords.h"
#include "tools/scan-plugins/ModuleInfoRecords.h"
#include "tools/scan-plugins/ServerChoice.h"

namespace {

constexpr size_t kIdle = SIZE_MAX;
// Warn lines kept per request: a plugin can write thousands.
constexpr size_t kKeptWarnings = 100;

const char kServerFaultBlame[] =
    "The scan server faulted in its own code on data the plugin under scan handed it (a text "
    "without its end, or a pointer); the plugin is the culprit";

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
    std::wstring target;
    DWORD error;
    return MoveToFreeName(dump, folder + L"\\" + stem, L"-", L".mdmp", target, error) ? target
                                                                                      : dump;
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

void KeepWarnings(const std::vector<std::string>& warnings, ScanRecord& record) {
    size_t kept = std::min(warnings.size(), kKeptWarnings);
    record.warnings.assign(warnings.begin(), warnings.begin() + static_cast<ptrdiff_t>(kept));
    record.warningsLeftOut = warnings.size() - kept;
}

std::wstring RecordRequest(const ScanRecord& record) {
    return record.isSubPlugin ? ShellRequest(record.path, record.shellId) : record.path;
}

}  // namespace

void MarkLateFaults(std::vector<FileWork>& work) {
    std::map<std::wstring, size_t> byModule;
    for (size_t index = 0; index < work.size(); ++index) {
        byModule[PathKey(ModuleFile(work[index].file))] = index;
        for (ScanRecord& record : work[index].records) record.lateFaults.clear();
    }
    for (size_t index = 0; index < work.size(); ++index) {
        for (const ScanRecord& record : work[index].records) {
            if (IsFailure(record.status) || !record.unconfirmed) continue;
            auto culprit = byModule.find(PathKey(record.unconfirmed->end.faultModule));
            if (culprit == byModule.end() || culprit->second == index ||
                work[culprit->second].records.empty()) {
                continue;
            }
            work[culprit->second].records.front().lateFaults.push_back(RecordRequest(record));
        }
    }
}

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
    ScanRecord file;
    file.path = work.file.path;
    file.format = work.file.format;
    auto start = std::chrono::steady_clock::now();
    BundleModuleInfo moduleInfo;
    if (file.format == protocol::PluginFormat::kVst3) moduleInfo = ReadBundleModuleInfo(work.file);
    if (settings_.moduleInfoOnly && moduleInfo.state == ModuleInfoState::kRead) {
        AddModuleInfoRecords(work.file, moduleInfo.info, work.records);
        for (ScanRecord& record : work.records) record.seconds = SecondsSince(start);
        return true;
    }
    if (RecordUnsupported(ModuleFile(work.file), file)) {
        work.records.push_back(file);
        return true;
    }
    ChannelLines lines;
    if (!ScanRequest(client, work.file.path, file, lines, failure) ||
        !AddFactoryFacts(client, file, failure)) {
        return false;
    }
    std::vector<uint32_t> subPlugins = SubPluginIds(file);
    AddFileRecords(file, lines, work.records);
    AddModuleInfoFacts(moduleInfo, work.records);
    for (uint32_t id : subPlugins) {
        ScanRecord sub;
        sub.path = work.file.path;
        sub.format = work.file.format;
        sub.isSubPlugin = true;
        sub.shellId = id;
        if (!ScanRequest(client, ShellRequest(work.file.path, id), sub, lines, failure)) {
            return false;
        }
        work.records.push_back(sub);
    }
    return true;
}

// A server can end during a request through no fault of the plugin it scans:
// a thread an earlier plugin left behind faults, or the server was failing
// already. So a failure counts only when the plugin repeats it alone, in a
// fresh server; a clean second scan keeps its result and notes the first.
bool ScanRun::ScanRequest(ScanClient& client, const std::wstring& request, ScanRecord& record,
                          ChannelLines& lines, std::string& failure) {
    ScanRecord first = record;
    if (!ScanOnce(client, request, first, lines, failure)) return false;
    if (!IsFailure(first.status)) {
        record = std::move(first);
        return true;
    }
    ScanRecord again = record;
    if (!ScanOnce(client, request, again, lines, failure)) return false;
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

// A crash or a hang in an instance takes the whole file's answer with it. The
// factory read alone, by a fresh server, still names each plugin, so that a
// user sees what the failure costs: the records keep the failure and carry
// the factory's facts. When that request fails too, the file keeps one record.
bool ScanRun::AddFactoryFacts(ScanClient& client, ScanRecord& file, std::string& failure) {
    bool instanceMayHaveFailed =
        file.status == ScanStatus::kCrashed || file.status == ScanStatus::kTimedOut;
    if (!instanceMayHaveFailed || !HasFactoryOnlyRequest(file.format)) return true;
    ScanRecord factory;
    factory.format = file.format;
    ChannelLines lines;
    if (!ScanOnce(client, file.path + protocol::kFactoryOnlyRequest, factory, lines, failure)) {
        return false;
    }
    file.seconds = std::round((file.seconds + factory.seconds) * 1000) / 1000;
    // The file's own failure is told already, with its dump.
    if (!factory.end.dumpPath.empty()) DeleteFileW(factory.end.dumpPath.c_str());
    if (factory.status != ScanStatus::kOk) return true;
    std::visit([&](auto& report) { report.error = file.error; }, *factory.report);
    file.report = std::move(factory.report);
    return true;
}

bool ScanRun::ScanOnce(ScanClient& client, const std::wstring& request, ScanRecord& record,
                       ChannelLines& lines, std::string& failure) {
    if (!client.IsRunning() && !client.Start(failure)) return false;
    auto start = std::chrono::steady_clock::now();
    ScanAnswer answer = client.Scan(request, settings_.timeoutMilliseconds);
    record.seconds = SecondsSince(start);
    KeepWarnings(answer.lines.warnings, record);
    switch (answer.end) {
        case ScanEnd::kAnswered:
            if (answer.report && FormatOf(*answer.report) == record.format) {
                record.error = ReportError(*answer.report);
                record.report = std::move(answer.report);
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
                if (PathKey(answer.faultModule) == PathKey(settings_.server.serverPath)) {
                    record.end.blame = kServerFaultBlame;
                }
            } else if (answer.exitCode == std::optional<DWORD>(protocol::kCrashExitCode)) {
                record.error += "; it left no dump";
            }
            break;
    }
    lines = std::move(answer.lines);
    return true;
}

#include "tools/scan-plugins/Progress.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "host/Text.h"

namespace {

constexpr size_t kSlowestShown = 5;

HANDLE StandardError() {
    return GetStdHandle(STD_ERROR_HANDLE);
}

bool IsConsole(HANDLE handle) {
    DWORD mode;
    return GetConsoleMode(handle, &mode) != 0;
}

// MSYS2 and Cygwin terminals hand their programs a named pipe called
// \msys-<id>-pty<n>-to-master (or \cygwin-...) instead of a console.
bool IsTerminalPipe(HANDLE handle) {
    if (GetFileType(handle) != FILE_TYPE_PIPE) return false;
    alignas(FILE_NAME_INFO) char buffer[sizeof(FILE_NAME_INFO) + MAX_PATH * sizeof(wchar_t)];
    auto* info = reinterpret_cast<FILE_NAME_INFO*>(buffer);
    if (!GetFileInformationByHandleEx(handle, FileNameInfo, info, sizeof(buffer))) return false;
    std::wstring name(info->FileName, info->FileNameLength / sizeof(wchar_t));
    return (name.rfind(L"\\msys-", 0) == 0 || name.rfind(L"\\cygwin-", 0) == 0) &&
           name.find(L"-pty") != std::wstring::npos;
}

size_t LineWidth() {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(StandardError(), &info)) {
        return static_cast<size_t>(std::max(20, info.srWindow.Right - info.srWindow.Left));
    }
    return 79;
}

std::string Printf(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof(text), format, value);
    return text;
}

std::string ElapsedText(double seconds) {
    long whole = static_cast<long>(seconds);
    char text[32];
    std::snprintf(text, sizeof(text), "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

// The file's scan and those of its sub-plugins; the plugins of a CLAP file or
// VST3 module come from the file's one scan and each carry its time.
double FileSeconds(const FileWork& work) {
    double seconds = 0;
    for (const ScanRecord& record : work.records) {
        if (&record == &work.records.front() || record.isSubPlugin) seconds += record.seconds;
    }
    return seconds;
}

// "shell.dll, 2 sub-plugins (ok)", "several.clap, 3 plugins (ok)" or "synth.dll (ok)".
std::string Outcome(const FileWork& work) {
    std::string text = Utf8FromWide(work.file.shownName);
    if (work.records.size() > 1 && !work.records[1].isSubPlugin) {
        text += ", " + std::to_string(work.records.size()) + " plugins";
    } else if (work.records.size() > 1) {
        size_t subPlugins = work.records.size() - 1;
        text +=
            ", " + std::to_string(subPlugins) + (subPlugins == 1 ? " sub-plugin" : " sub-plugins");
    }
    return text + " (" + StatusWords(work.records.front().status) + ")";
}

}  // namespace

void WriteStandardError(const std::string& text) {
    HANDLE handle = StandardError();
    // Asked once: under Wine each asking is a request to its server, and a
    // run writes a line per plugin file.
    static const bool console = IsConsole(handle);
    DWORD written = 0;
    if (console) {
        std::wstring wide = WideFromUtf8(text);
        WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else {
        WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
}

bool StandardErrorIsTerminal() {
    HANDLE handle = StandardError();
    return IsConsole(handle) || IsTerminalPipe(handle);
}

void ProgressDisplay::Finished(const FileWork& work) {
    ++done_;
    if (live_) return;
    WriteStandardError("[" + std::to_string(done_) + "/" + std::to_string(toScan_) + "] " +
                       Outcome(work) + Printf(" %.3f s\n", FileSeconds(work)));
}

void ProgressDisplay::ShowCurrent(const FileWork& current, double elapsedSeconds) {
    if (!live_) return;
    ShowLine("[" + std::to_string(done_) + "/" + std::to_string(toScan_) + "] " +
             ElapsedText(elapsedSeconds) + " " + Utf8FromWide(current.file.shownName));
}

void ProgressDisplay::Clear() {
    if (live_ && shownLength_ > 0) ShowLine("");
}

void ProgressDisplay::ShowLine(const std::string& line) {
    std::wstring wide = WideFromUtf8(line);
    size_t width = LineWidth();
    if (wide.size() > width) wide = L"..." + wide.substr(wide.size() - width + 3);
    size_t length = wide.size();
    if (length < shownLength_) wide.append(shownLength_ - length, L' ');
    shownLength_ = length;
    WriteStandardError("\r" + Utf8FromWide(wide) + (length == 0 ? "\r" : ""));
}

std::string SummaryText(const std::vector<FileWork>& work, double elapsedSeconds,
                        unsigned servers) {
    size_t scanned = 0;
    size_t counts[6] = {};
    size_t records = 0, withWarnings = 0, unconfirmed = 0;
    std::vector<const FileWork*> slowest;
    for (const FileWork& file : work) {
        if (!file.fromCache) {
            ++scanned;
            slowest.push_back(&file);
        }
        for (const ScanRecord& record : file.records) {
            ++counts[static_cast<size_t>(record.status)];
            ++records;
            withWarnings += HasWarnings(record) ? 1 : 0;
            unconfirmed += record.unconfirmed ? 1 : 0;
        }
    }
    std::string text = "Scanned " + std::to_string(scanned) + " of " + std::to_string(work.size()) +
                       " plugin files in " + Printf("%.1f s", elapsedSeconds);
    if (servers > 0) {
        text += " with " + std::to_string(servers) + (servers == 1 ? " server" : " servers");
    }
    text += "; " + std::to_string(work.size() - scanned) + " taken from the cache.\n";
    text += "Records: " + std::to_string(records);
    std::string byStatus;
    for (ScanStatus status :
         {ScanStatus::kOk, ScanStatus::kError, ScanStatus::kUnsupported, ScanStatus::kCrashed,
          ScanStatus::kTimedOut, ScanStatus::kServerFailed}) {
        size_t count = counts[static_cast<size_t>(status)];
        if (count == 0) continue;
        byStatus += (byStatus.empty() ? "" : ", ") + std::string(StatusWords(status)) + " " +
                    std::to_string(count);
    }
    if (!byStatus.empty()) text += " (" + byStatus + ")";
    std::string notes;
    if (withWarnings > 0) notes = std::to_string(withWarnings) + " with warnings";
    if (unconfirmed > 0) {
        notes += (notes.empty() ? "" : ", ") + std::to_string(unconfirmed) +
                 (unconfirmed == 1 ? " with an unconfirmed failure" : " with unconfirmed failures");
    }
    text += notes.empty() ? "\n" : "; " + notes + "\n";
    std::stable_sort(slowest.begin(), slowest.end(), [](const FileWork* a, const FileWork* b) {
        return FileSeconds(*a) > FileSeconds(*b);
    });
    if (slowest.size() > kSlowestShown) slowest.resize(kSlowestShown);
    if (!slowest.empty()) text += "Slowest:\n";
    for (const FileWork* file : slowest) {
        text += Printf("%9.3f s  ", FileSeconds(*file)) + Outcome(*file) + "\n";
    }
    return text;
}

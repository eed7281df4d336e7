#include "support/ScanPluginsSupport.h"

#include <algorithm>

#include "host/ArgumentQuoting.h"
#include "host/ServerProcess.h"
#include "host/Text.h"
#include "platform/KernelHandles.h"

namespace {

std::wstring CommandLine(const std::wstring& executable,
                         const std::vector<std::wstring>& arguments) {
    std::wstring commandLine = QuoteArgument(executable);
    for (const std::wstring& argument : arguments) commandLine += L" " + QuoteArgument(argument);
    return commandLine;
}

UniqueFile InheritableFile(const std::wstring& path) {
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    return UniqueFile(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace

void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    UniqueFindHandle search(FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (search.IsValid()) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring path = folder + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
            } else {
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(search.Get(), &found));
        search.Close();
    }
    RemoveDirectoryW(folder.c_str());
}

TempFolder::TempFolder() {
    static int count = 0;
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    path_ = std::wstring(temp) + L"scan-plugins-test-" + std::to_wstring(GetCurrentProcessId()) +
            L"-" + std::to_wstring(++count);
    RemoveTree(path_);
    CreateDirectoryW(path_.c_str(), nullptr);
}

TempFolder::~TempFolder() {
    RemoveTree(path_);
}

void TempFolder::CopyPlugin(const std::wstring& name, const std::wstring& subfolder,
                            const std::wstring& suffix) {
    std::wstring folder = subfolder.empty() ? path_ : path_ + L"\\" + subfolder;
    CreateDirectoryW(folder.c_str(), nullptr);
    CopyFileW((ProgramDirectory() + L"plugins\\" + name + suffix).c_str(),
              (folder + L"\\" + name + suffix).c_str(), FALSE);
}

void TempFolder::CopyVst3Bundle(const std::wstring& name, const std::wstring& subfolder) {
    const std::wstring bundle = name + L".vst3";
    const std::wstring inside = bundle + L"\\Contents\\x86_64-win";
    std::wstring folder = subfolder.empty() ? path_ : path_ + L"\\" + subfolder;
    CreateDirectoryW(folder.c_str(), nullptr);
    for (const wchar_t* part : {L"", L"\\Contents", L"\\Contents\\x86_64-win"}) {
        CreateDirectoryW((folder + L"\\" + bundle + part).c_str(), nullptr);
    }
    CopyFileW((ProgramDirectory() + L"plugins\\" + inside + L"\\" + bundle).c_str(),
              (folder + L"\\" + inside + L"\\" + bundle).c_str(), FALSE);
    const std::wstring moduleInfo = bundle + L"\\Contents\\Resources\\moduleinfo.json";
    if (!FileExists(ProgramDirectory() + L"plugins\\" + moduleInfo)) return;
    CreateDirectoryW((folder + L"\\" + bundle + L"\\Contents\\Resources").c_str(), nullptr);
    CopyFileW((ProgramDirectory() + L"plugins\\" + moduleInfo).c_str(),
              (folder + L"\\" + moduleInfo).c_str(), FALSE);
}

void TempFolder::WriteFile(const std::wstring& relativePath, const std::string& bytes) {
    UniqueFile file(CreateFileW((path_ + L"\\" + relativePath).c_str(), GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

ProgramRun RunProgram(const std::wstring& program, const std::vector<std::wstring>& arguments) {
    constexpr DWORD kGuardMilliseconds = 600000;
    TempFolder outputs;
    std::wstring outPath = outputs.Path() + L"\\out", errPath = outputs.Path() + L"\\err";
    std::wstring executable = ProgramDirectory() + program;
    std::wstring commandLine = CommandLine(executable, arguments);

    ProgramRun run;
    {
        UniqueFile out = InheritableFile(outPath), err = InheritableFile(errPath);
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = out.Get();
        startup.hStdError = err.Get();
        PROCESS_INFORMATION created = {};
        if (!CreateProcessW(executable.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                            nullptr, nullptr, &startup, &created)) {
            return run;
        }
        UniqueHandle thread(created.hThread);
        UniqueHandle process(created.hProcess);
        if (WaitForSingleObject(process.Get(), kGuardMilliseconds) != WAIT_OBJECT_0) {
            TerminateProcess(process.Get(), 1);
            WaitForSingleObject(process.Get(), INFINITE);
        } else {
            run.ended = true;
        }
        GetExitCodeProcess(process.Get(), &run.exitCode);
    }
    run.out = ReadBytes(outPath);
    run.err = ReadBytes(errPath);
    return run;
}

std::string ReadBytes(const std::wstring& path) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string bytes;
    if (!file.IsValid()) return bytes;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        bytes.append(buffer, read);
    }
    return bytes;
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::wstring> FilesIn(const std::wstring& folder, const std::wstring& pattern) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    UniqueFindHandle search(FindFirstFileW((folder + L"\\" + pattern).c_str(), &found));
    if (!search.IsValid()) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileW(search.Get(), &found));
    std::sort(names.begin(), names.end());
    return names;
}

StartedProgram::StartedProgram(const std::wstring& program,
                               const std::vector<std::wstring>& arguments) {
    job_.Reset(CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job_.Get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits));
    std::wstring executable = ProgramDirectory() + program;
    std::wstring commandLine = CommandLine(executable, arguments);
    UniqueFile out = InheritableFile(outputs_.Path() + L"\\out");
    UniqueFile err = InheritableFile(outputs_.Path() + L"\\err");
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out.Get();
    startup.hStdError = err.Get();
    PROCESS_INFORMATION created = {};
    if (!CreateProcessW(executable.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                        CREATE_SUSPENDED, nullptr, nullptr, &startup, &created)) {
        return;
    }
    UniqueHandle thread(created.hThread);
    process_.Reset(created.hProcess);
    AssignProcessToJobObject(job_.Get(), process_.Get());
    ResumeThread(thread.Get());
}

StartedProgram::~StartedProgram() {
    Kill();
}

bool StartedProgram::IsRunning() const {
    return process_.IsValid() && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT;
}

std::string StartedProgram::Err() const {
    return ReadBytes(outputs_.Path() + L"\\err");
}

void StartedProgram::Kill() {
    if (!process_.IsValid()) return;
    TerminateJobObject(job_.Get(), 1);
    WaitForSingleObject(process_.Get(), INFINITE);
    // The processes it started end a moment later; their files are free then.
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
    while (QueryInformationJobObject(job_.Get(), JobObjectBasicAccountingInformation, &accounting,
                                     sizeof(accounting), nullptr) &&
           accounting.ActiveProcesses > 0) {
        Sleep(50);
    }
    process_.Close();
    job_.Close();
}

std::vector<std::wstring> CachedFolderScanArguments(const TempFolder& folder) {
    return {L"--jobs",    L"2",
            L"--timeout", L"8",
            L"--cache",   folder.Path() + L"\\cache.json",
            L"--dumps",   folder.Path() + L"\\dumps",
            folder.Path()};
}

std::vector<std::string> Outline(const TempFolder& folder, const nlohmann::json& records,
                                 const char* member) {
    std::vector<std::string> lines;
    std::string prefix = Utf8FromWide(folder.Path()) + "\\";
    for (const nlohmann::json& record : records) {
        std::string path = record["path"].get<std::string>();
        if (path.rfind(prefix, 0) == 0) path = path.substr(prefix.size());
        lines.push_back(path + " " + record["format"].get<std::string>() + " " +
                        record["status"].get<std::string>() + " " +
                        record.value(member, record["error"].get<std::string>()));
    }
    return lines;
}

ScopedVariable::ScopedVariable(const wchar_t* name, const std::wstring& value) : name_(name) {
    wchar_t old[32768];
    DWORD length = GetEnvironmentVariableW(name, old, 32768);
    wasSet_ = length > 0 && length < 32768;
    if (wasSet_) old_ = old;
    SetEnvironmentVariableW(name, value.c_str());
}

ScopedVariable::~ScopedVariable() {
    SetEnvironmentVariableW(name_, wasSet_ ? old_.c_str() : nullptr);
}

// What the scan-plugins tests share: a temporary folder of their own with
// copies of the test plugins, and a program run to its end with its output.
#pragma once

#include <windows.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/KernelHandles.h"

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::wstring& Path() const { return path_; }
    // Copies bin/plugins/<name><suffix> to <folder>\<subfolder>\<name><suffix>.
    void CopyPlugin(const std::wstring& name, const std::wstring& subfolder = L"",
                    const std::wstring& suffix = L".dll");
    // Copies the bundle bin/plugins/<name>.vst3 (its x64 module and its
    // Contents\Resources\moduleinfo.json) into <folder>\<subfolder>.
    void CopyVst3Bundle(const std::wstring& name, const std::wstring& subfolder = L"");
    void WriteFile(const std::wstring& relativePath, const std::string& bytes);

private:
    std::wstring path_;
};

struct ProgramRun {
    DWORD exitCode = 0;
    bool ended = false;
    std::string out;
    std::string err;
};

// Runs bin/<program> with the arguments and waits for it (a guard of ten minutes).
ProgramRun RunProgram(const std::wstring& program, const std::vector<std::wstring>& arguments);

// bin/<program> started in a job of its own, with its output going to files,
// so that it can be killed midway together with every process it started.
class StartedProgram {
public:
    StartedProgram(const std::wstring& program, const std::vector<std::wstring>& arguments);
    ~StartedProgram();
    StartedProgram(const StartedProgram&) = delete;
    StartedProgram& operator=(const StartedProgram&) = delete;

    bool IsRunning() const;
    // What it has written to standard error so far.
    std::string Err() const;
    // Ends it and its processes and waits for their end.
    void Kill();

private:
    TempFolder outputs_;
    UniqueHandle job_;
    UniqueHandle process_;
};

// Removes the folder with everything in it.
void RemoveTree(const std::wstring& folder);

std::string ReadBytes(const std::wstring& path);
bool FileExists(const std::wstring& path);
// Names of the files in a folder that match the pattern, sorted.
std::vector<std::wstring> FilesIn(const std::wstring& folder, const std::wstring& pattern);

// The arguments of a run over the whole folder: two servers, 8 s for each
// plugin, the cache and the dumps inside the folder.
std::vector<std::wstring> CachedFolderScanArguments(const TempFolder& folder);

// "relative path, format, status, member or error", one line per record in
// output order: the record's `member` when it has one, else its error.
std::vector<std::string> Outline(const TempFolder& folder, const nlohmann::json& records,
                                 const char* member);

// Sets an environment variable for the programs a test starts, and puts the
// old value back.
class ScopedVariable {
public:
    ScopedVariable(const wchar_t* name, const std::wstring& value);
    ~ScopedVariable();
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const wchar_t* name_;
    bool wasSet_;
    std::wstring old_;
};

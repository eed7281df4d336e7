#include "tools/scan-plugins/FileIo.h"

#include <windows.h>

#include "host/Text.h"
#include "platform/KernelHandles.h"

namespace {

std::wstring TemporaryPath(const std::wstring& path) {
    return path + L".new";
}

}  // namespace

ReadResult ReadWholeFile(const std::wstring& path, std::string& bytes, std::string& problem) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) return ReadResult::kAbsent;
        problem = SystemErrorText(error);
        return ReadResult::kFailed;
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart > 0x7FFFFFFF) {
        problem = "the file is too large or its size cannot be read";
        return ReadResult::kFailed;
    }
    bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() &&
        (!ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
         read != bytes.size())) {
        problem = SystemErrorText(GetLastError());
        return ReadResult::kFailed;
    }
    return ReadResult::kRead;
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes, std::string& problem) {
    std::wstring temporary = TemporaryPath(path);
    {
        UniqueFile file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        if (!file.IsValid() ||
            !WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                       nullptr) ||
            written != bytes.size()) {
            problem = SystemErrorText(GetLastError());
            if (file.IsValid()) {
                file.Close();
                DeleteFileW(temporary.c_str());
            }
            return false;
        }
    }
    if (!MoveFileExW(temporary.c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        problem = SystemErrorText(GetLastError());
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

bool CheckWritable(const std::wstring& path, std::string& problem) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        problem = "it is a folder";
        return false;
    }
    UniqueFile trial(CreateFileW(TemporaryPath(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                 CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (trial.IsValid()) return true;
    problem = SystemErrorText(GetLastError());
    return false;
}

bool MoveToFreeName(const std::wstring& file, const std::wstring& stem, const wchar_t* separator,
                    const wchar_t* ending, std::wstring& target, DWORD& error) {
    error = ERROR_ALREADY_EXISTS;
    for (int number = 1; number < 1000; ++number) {
        target =
            stem + (number == 1 ? std::wstring() : separator + std::to_wstring(number)) + ending;
        if (MoveFileExW(file.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) return true;
        error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) return false;
    }
    return false;
}

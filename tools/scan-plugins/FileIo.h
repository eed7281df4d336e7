// Whole files in and out, and files moved aside, with the system's reason
// when that fails.
#pragma once

#include <windows.h>

#include <string>

enum class ReadResult { kRead, kAbsent, kFailed };

[[nodiscard]] ReadResult ReadWholeFile(const std::wstring& path, std::string& bytes,
                                       std::string& problem);
// Writes beside the file first and then puts the new file in its place, so a
// failed write never leaves half a file.
[[nodiscard]] bool WriteWholeFile(const std::wstring& path, const std::string& bytes,
                                  std::string& problem);
// Whether WriteWholeFile can begin: the file's folder exists, a file can be
// created there, and the path is not a folder.
[[nodiscard]] bool CheckWritable(const std::wstring& path, std::string& problem);

// Moves the file to the first free one of the names `stem` + `ending`, then
// `stem` + `separator` + 2 + `ending` and so on up to 999; `target` is where
// it went, or the last name tried. On failure `error` holds the system's
// error code, ERROR_ALREADY_EXISTS when every name is taken.
[[nodiscard]] bool MoveToFreeName(const std::wstring& file, const std::wstring& stem,
                                  const wchar_t* separator, const wchar_t* ending,
                                  std::wstring& target, DWORD& error);

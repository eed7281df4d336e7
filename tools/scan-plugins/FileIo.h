// Whole files in and out, with the system's reason when that fails.
#pragma once

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

// Whole files in and out, with the system's reason when that fails.
#pragma once

#include <string>

enum class ReadResult { kRead, kAbsent, kFailed };

[[nodiscard]] ReadResult ReadWholeFile(const std::wstring& path, std::string& bytes, std::string& problem);
// Writes beside the file first and then puts the new file in its place, so a
// failed write never leaves half a file.
[[nodiscard]] bool WriteWholeFile(const std::wstring& path, const std::string& bytes,
                                  std::string& problem);

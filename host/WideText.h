// Conversions between the UTF-16 of Windows calls and the UTF-8 of pipes,
// JSON and console output, declared apart from Windows' types so that readers
// of UTF-8 texts build without them.
#pragma once

#include <string>

std::string Utf8FromWide(const std::wstring& text);
std::wstring WideFromUtf8(const std::string& text);

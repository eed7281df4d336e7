// Conversions between the UTF-16 of Windows calls and the UTF-8 of pipes,
// JSON and console output.
#pragma once

#include <windows.h>

#include <string>

std::string Utf8FromWide(const std::wstring& text);
std::wstring WideFromUtf8(const std::string& text);
// The system's own description of an error code, without its line end.
std::string SystemErrorText(DWORD code);

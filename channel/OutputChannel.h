// Every line the server sends its host: a channel name, a colon and the
// formatted message as UTF-8, written with one write and flushed at once.
#pragma once

#include <windows.h>

#include <cstdint>

void SetOutputHandle(HANDLE output);
HANDLE GetOutputHandle();

// The "ready:" line that asks the host for its next request.
void WritePrompt();
// A line as it goes on the wire, channel name and line feed included.
void WriteWholeLine(const char* bytes, uint32_t length);

void WriteInfo(const wchar_t* format, ...);
void WriteWarning(const wchar_t* format, ...);
void WriteError(const wchar_t* format, ...);
void WriteReport(const wchar_t* format, ...);

// Every line the server sends its host: a channel name, a colon and the
// formatted message as UTF-8, written with one write and flushed at once.
#pragma once

#include <windows.h>

void SetOutputHandle(HANDLE output);
HANDLE GetOutputHandle();

// Writes one whole line, given with its line feed, as it is (the prompt).
void WriteWholeLine(const char* line);

void WriteInfo(const wchar_t* format, ...);
void WriteWarning(const wchar_t* format, ...);
void WriteError(const wchar_t* format, ...);
void WriteReport(const wchar_t* format, ...);

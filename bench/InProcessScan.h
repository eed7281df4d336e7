// One scan done inside the calling process by the server's own probe, with no
// server process and no pipe (the floor), and the steps a server request
// takes beyond it, each on its own so its cost can be timed.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// How long the parts of one in-process scan took, in milliseconds.
struct InProcessTimes {
    double load = 0;       // LoadLibraryExW
    double questions = 0;  // the probe: entry point, dispatcher queries, effClose
    double free = 0;       // FreeLibrary
};

// Loads the library, probes it as the server does and frees it; false when
// the library does not load or the probe fails.
[[nodiscard]] bool ScanInProcess(const wchar_t* libraryPath, InProcessTimes* times = nullptr);

// The file's version resource, read as a scan reads it for its fallback version.
void ReadVersionResource(const wchar_t* libraryPath);

// The three message-queue drains of one request (none of them finds a message here).
void DrainMessagesThreeTimes();

// Activating the splash window, which is null without a display.
void ActivateNoWindow();

// Each line formatted and converted to UTF-8 by the output channel, then
// written and flushed to `sink`.
void FormatLines(const std::vector<std::wstring>& lines, HANDLE sink);

// The lines as they are, each written and flushed to `sink`.
void WriteLines(const std::vector<std::string>& lines, HANDLE sink);

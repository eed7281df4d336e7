// One scan done inside the calling process, with no server and no protocol
// (the floor), and the steps a server request takes beyond it, each on its
// own so its cost can be timed.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// How long the parts of one in-process scan took, in milliseconds.
struct InProcessTimes {
    double load = 0;       // LoadLibraryExW
    double questions = 0;  // entry point, dispatcher queries, effClose
    double free = 0;       // FreeLibrary
};

// The same library calls and dispatcher queries a scan of a plain plugin
// makes; false when the library does not load or is not a VST 2 plugin.
[[nodiscard]] bool ScanInProcess(const wchar_t* libraryPath, InProcessTimes* times = nullptr);

// The file's version resource, read as a scan reads it for its fallback version.
void ReadVersionResource(const wchar_t* libraryPath);

// The three message-queue drains of one request (none of them finds a message here).
void DrainMessagesThreeTimes();

// Activating the splash window, which is null without a display.
void ActivateNoWindow();

// The lookups and filter installations of one probe of a loaded plugin.
void ProbeLookups(HMODULE module);

// Each line formatted and converted to UTF-8 as the output channel does, not written.
void FormatLines(const std::vector<std::wstring>& lines);

// The command line of scan-plugins.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "protocol/PluginFormat.h"

struct Options {
    std::vector<std::wstring> paths;  // empty: the standard folders
    // The formats folder searches take; every format unless --format names some.
    std::vector<protocol::PluginFormat> formats;
    bool listFolders = false;
    std::wstring out;    // empty: standard output
    std::wstring cache;  // empty: no cache
    bool retryFailed = false;
    bool moduleInfoOnly = false;
    unsigned jobs = 0;  // 0: the number of processors
    DWORD timeoutMilliseconds = 30000;
    std::wstring dumps;   // empty: "scan-dumps" in the current folder
    std::wstring server;  // empty: ScanServer-x64.exe beside this program
    bool help = false;
};

// Fills `options`, or says what is wrong with the command line.
[[nodiscard]] bool ParseOptions(int argc, wchar_t** argv, Options& options, std::string& problem);

extern const char kUsage[];

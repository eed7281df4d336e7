// The protocol's mandated writes and nothing else: a child process that
// answers each request with the recorded lines of one scan, every line written
// and flushed on its own, after the same "ready:" prompt the server writes.
// Given a plugin, it loads and frees it before each answer's lines, so that
// its lines pay what a freed plugin leaves the process to pay.
#pragma once

#include <windows.h>

// Serves until the input pipe closes; returns the process exit code.
int RunLineWriter(const wchar_t* linesPath, HANDLE input, HANDLE output, const wchar_t* pluginPath);

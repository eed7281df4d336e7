// The process's unhandled-exception filter: writes a dated minidump into the
// host's dump directory and ends the process with exit code 9.
#pragma once

#include <windows.h>

#include "foundation/SharedString.h"

// Initialises the dump lock and the dump name prefix; the first thing the process does.
void InitializeCrashDumps();
// A null or empty directory means: no dump, just exit code 9.
void SetCrashDumpDirectory(const WideString& directory);
// Replaces whatever filter is in force (plugins may install their own).
void InstallCrashFilter();

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* exception);

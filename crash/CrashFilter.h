// The process's unhandled-exception filter, which ends every crash with a
// dump and exit code 9, and its arming.
#pragma once

#include <windows.h>

// At start-up, before any plugin is loaded: installs the filter and the
// SIGABRT handler, and guards the filter, so that no later call of
// SetUnhandledExceptionFilter (a plugin's, on any thread) replaces it.
void InstallCrashFilter();

// Before and after every call into plugin code (through CallPlugin): puts
// back the SIGABRT handler, which plugins replace in the shared runtime, and
// the filter itself should it not have been guarded.
void RearmCrashFilter();

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* exception);

// The process's unhandled-exception filter, which ends every crash with a
// dump and exit code 9, and its arming.
#pragma once

#include <windows.h>

// Replaces whatever filter and SIGABRT handler are in force: plugins install
// their own. Calls into plugin code arm it through CallPlugin.
void InstallCrashFilter();

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* exception);

// The process's unhandled-exception filter: writes a dated minidump into the
// host's dump directory and ends the process with exit code 9.
#pragma once

#include <windows.h>

#include "foundation/SharedString.h"

// Initialises the dump lock and the dump name prefix; the first thing the process does.
void InitializeCrashDumps();
// A null or empty directory means: no dump, just exit code 9.
void SetCrashDumpDirectory(const WideString& directory);
// Replaces whatever filter and SIGABRT handler are in force (plugins may
// install their own).
void InstallCrashFilter();

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* exception);

// Every output line and the orderly shutdown pass through the dump lock, and a
// crash never leaves it: once a dump has begun, the server says nothing more
// and ends only through the dump.
void EnterDumpLock();
void LeaveDumpLock();
// For a thread watching another: enters the dump lock, unless the watched
// thread, now ended, left it held.
void EnterDumpLockLeftBy(DWORD endedThreadId);

// With the dump lock held: the end of a crash that reached no filter (an abort,
// a thread that ended mid-request). Writes the dump for the given thread and
// ends the process with exit code 9; without a dump directory or DbgHelp it
// just ends the process.
void EndWithCrashDump(EXCEPTION_POINTERS* exception, DWORD threadId);

// A watching thread offers to write the dump of a thread that overflowed its
// stack: the filter on that thread sets the event and waits, and the watcher
// calls EndWithHandedOffDump. Withdrawing the offer fails once a thread has
// taken it; the watcher must then wait for the event all the same.
void OfferDumpHandOff(HANDLE event);
[[nodiscard]] bool WithdrawDumpHandOff();
void EndWithHandedOffDump();

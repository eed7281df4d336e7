// The minidump a crash leaves in the host's dump directory, and the end of
// the process with exit code 9 that follows it.
#pragma once

#include <windows.h>

#include "foundation/SharedString.h"

// A null or empty directory means: no dump, just exit code 9.
void SetCrashDumpDirectory(const WideString& directory);
// At start-up, before any plugin is loaded: loads DbgHelp and finds the loader
// lock. Without DbgHelp a crash ends with an "error" line instead of a dump.
void LoadDumpWriter();

// The watcher's side: the event is set when a dump begins, on the thread
// DumpingThreadId names. A dump that stalls is given up with
// EndWithStalledDump: an "error" line (written past the dump lock, which the
// stalled thread holds), no dump file, exit code 9.
void OfferCrashNotice(HANDLE event);
DWORD DumpingThreadId();
void EndWithStalledDump();

// With the dump lock held (it is never left): writes the dump of the given
// thread and ends the process with exit code 9. When a dump was asked for and
// could not be written, an "error" line says why before the end.
void EndWithCrashDump(EXCEPTION_POINTERS* exception, DWORD threadId);

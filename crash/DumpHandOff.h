// A thread that overflowed its stack has too little of it left to load DbgHelp
// and write a dump; a watching thread with stack to spare writes it instead.
#pragma once

#include <windows.h>

// The watcher's side: it offers to write the dump, and the filter on the
// overflowed thread sets the event and waits; the watcher then calls
// EndWithHandedOffDump. Withdrawing the offer fails once a thread has taken
// it; the watcher must then wait for the event all the same.
void OfferDumpHandOff(HANDLE event);
[[nodiscard]] bool WithdrawDumpHandOff();
void EndWithHandedOffDump();

// The overflowed thread's side, with the dump lock held, which it keeps on the
// dump's behalf. Returns only when no thread watches.
void HandOffDump(EXCEPTION_POINTERS* exception);

// The lock every output line, every crash dump and the orderly shutdown pass
// through. A crash never leaves it: once a dump has begun, the server says
// nothing more and ends only through the dump. It needs no setting up, so
// the first line of any program that writes lines may take it.
#pragma once

// Recursive: the thread holding it may enter again (a crash while a line is
// being written). A thread that ended while holding it has left it, and the
// next thread to wait for it takes it over.
void EnterDumpLock();
void LeaveDumpLock();

// The loader lock, taken over from a plugin thread that holds it, so that
// writing a dump (DbgHelp takes the lock) does not wait for it for ever.
#pragma once

// At start-up: finds the lock, where the process keeps its address.
void FindLoaderLock();

// On the crashing thread, with the dump lock held: a thread that holds the
// loader lock is suspended and the lock made the calling thread's, which the
// loader then lets in as it lets in its owner again. Never handed back: the
// process ends right after the dump.
void TakeOverLoaderLock();

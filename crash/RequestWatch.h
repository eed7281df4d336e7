// Requests are served on a thread of their own while the process's first
// thread watches it, so that every way in which plugin code can bring the
// serving thread down still ends in a dump and exit code 9.
#pragma once

// Runs serve(context) on the request thread and returns once it has finished.
// Should the thread end before it finishes (cut off by a stack overflow, or
// ended by a plugin), the process ends with a dump and exit code 9 instead.
// A dump on any thread that stalls is given up: exit code 9 all the same.
void ServeOnWatchedThread(void (*serve)(void*), void* context);

// In request mode nothing a plugin prints or reads through the standard
// handles may meet the protocol on the host's pipes.
#pragma once

#include <windows.h>

// A host may hand the server its pipes as the standard handles too (the
// Windows way of starting a child). Replaces input and output by copies of the
// server's own, which no child process inherits, and points standard input,
// output and error, in the system and in the shared C runtime, at the null
// device. When the copies cannot be made, everything stays as it was.
void TakeOverPipes(HANDLE& input, HANDLE& output);

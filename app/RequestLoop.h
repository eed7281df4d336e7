// The server's one loop: prompt, read one request line, scan it, repeat
// until the host closes its end of the input pipe.
#pragma once

#include <windows.h>

// The longest request line taken; a longer one is read to its line feed and
// rejected, so a runaway host cannot exhaust the server's memory.
constexpr DWORD kMaxRequestBytes = 64 * 1024;

void RunRequestLoop(HANDLE input);
void RunMessageLoop();
void PumpWindowMessages();

// The server's one loop: prompt, read one request line, scan it, repeat
// until the host closes its end of the input pipe.
#pragma once

#include <windows.h>

void RunRequestLoop(HANDLE input);

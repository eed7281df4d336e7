// The window messages of the splash window, taken at the server's fixed
// points or, without a host, for as long as the window lives.
#pragma once

// Dispatches every message waiting in the thread's queue and returns.
void PumpWindowMessages();
// Dispatches messages until WM_QUIT.
void RunMessageLoop();

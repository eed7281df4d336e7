// The host a CLAP plugin is created with: this product's names, a thread
// check (the request thread is the main thread, no thread is the audio
// thread) and a log on the "info" and "warn" channels; every other extension
// is refused and every request is ignored.
#pragma once

#include <windows.h>

#include "scan/clap/Clap.h"

struct CClapHost {
    clap_host_t host;
    DWORD mainThreadId;
};

// The calling thread becomes the main thread. The host points at itself, so
// it must stay where it is until the last plugin created with it is destroyed.
void StartClapHost(CClapHost& clapHost);

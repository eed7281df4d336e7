// abort() in any code that shares the server's C runtime (plugins linked
// against it included) ends the process the way a crash does.
#pragma once

// Replaces whatever SIGABRT handler the shared runtime holds.
void InstallAbortHandler();

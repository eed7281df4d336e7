// Texts between Windows and the rest: the conversions of host/WideText.h,
// and the system's description of an error code.
#pragma once

#include <windows.h>

#include <string>

#include "host/WideText.h"

// The system's own description of an error code, without its line end.
std::string SystemErrorText(DWORD code);

// The server's command line: input handle, output handle, owner window and
// dump directory, in that order.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/SharedString.h"

struct CommandLine {
    uint64_t inputHandle = 0;
    uint64_t outputHandle = 0;
    uint64_t ownerWindow = 0;
    WideString dumpDirectory;  // null when absent or empty
};

// Hexadecimal digits from the start of the text; the first other character
// ends the number, so "0x1A4" is 0 and "1A4x" is 0x1A4.
uint64_t ParseHexArgument(const wchar_t* text);

CommandLine ParseCommandLine(const wchar_t* commandLine);

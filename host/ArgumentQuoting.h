// One argument of a Windows command line.
#pragma once

#include <string>

// Quoted by the rules CommandLineToArgvW and the C runtime undo, so that the
// started program gets the argument back unchanged.
std::wstring QuoteArgument(const std::wstring& argument);

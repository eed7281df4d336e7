#include "app/CommandLine.h"

#include <shellapi.h>

#include "platform/KernelHandles.h"
#include "protocol/HexDigits.h"

namespace {

using ArgumentList = UniqueLocalMemory<wchar_t*>;

// An argument that is not there reads as empty.
const wchar_t* ArgumentAt(const ArgumentList& arguments, int count, int index) {
    return arguments.IsValid() && index < count ? arguments.Get()[index] : L"";
}

}  // namespace

uint64_t ParseHexArgument(const wchar_t* text) {
    uint64_t value = 0;
    for (; text && protocol::HexDigitValue(*text) >= 0; ++text) {
        value = (value << 4) + static_cast<uint64_t>(protocol::HexDigitValue(*text));
    }
    return value;
}

CommandLine ParseCommandLine(const wchar_t* commandLine) {
    int count = 0;
    ArgumentList arguments(CommandLineToArgvW(commandLine, &count));
    CommandLine parsed;
    parsed.inputHandle = ParseHexArgument(ArgumentAt(arguments, count, 1));
    parsed.outputHandle = ParseHexArgument(ArgumentAt(arguments, count, 2));
    parsed.ownerWindow = ParseHexArgument(ArgumentAt(arguments, count, 3));
    const wchar_t* dumpDirectory = ArgumentAt(arguments, count, 4);
    if (dumpDirectory[0] != 0 && !parsed.dumpDirectory.Assign(dumpDirectory)) {
        parsed.dumpDirectory.Release();
    }
    return parsed;
}

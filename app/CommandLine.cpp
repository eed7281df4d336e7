#include "app/CommandLine.h"

#include <shellapi.h>

#include "foundation/HexDigit.h"

namespace {

class ArgumentList {
public:
    explicit ArgumentList(const wchar_t* commandLine)
        : arguments_(CommandLineToArgvW(commandLine, &count_)) {}
    ~ArgumentList() { LocalFree(arguments_); }
    ArgumentList(const ArgumentList&) = delete;
    ArgumentList& operator=(const ArgumentList&) = delete;

    int Count() const { return arguments_ ? count_ : 0; }
    const wchar_t* At(int index) const { return index < Count() ? arguments_[index] : L""; }

private:
    int count_ = 0;
    wchar_t** arguments_;
};

}  // namespace

uint64_t ParseHexArgument(const wchar_t* text) {
    uint64_t value = 0;
    for (; text && HexDigitValue(*text) >= 0; ++text) {
        value = (value << 4) + static_cast<uint64_t>(HexDigitValue(*text));
    }
    return value;
}

CommandLine ParseCommandLine(const wchar_t* commandLine) {
    ArgumentList arguments(commandLine);
    CommandLine parsed;
    parsed.inputHandle = ParseHexArgument(arguments.At(1));
    parsed.outputHandle = ParseHexArgument(arguments.At(2));
    parsed.ownerWindow = ParseHexArgument(arguments.At(3));
    if (arguments.Count() > 4 && arguments.At(4)[0] != 0) {
        if (!parsed.dumpDirectory.Assign(arguments.At(4))) parsed.dumpDirectory.Release();
    }
    return parsed;
}

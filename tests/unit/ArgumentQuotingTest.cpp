#include <gtest/gtest.h>
#include <windows.h>
// Needs the base declarations first.
#include <shellapi.h>

#include <string>
#include <vector>

#include "host/ArgumentQuoting.h"
#include "platform/KernelHandles.h"

namespace {

// The arguments as the started program's CommandLineToArgvW gives them back.
std::vector<std::wstring> ArgumentsOf(const std::wstring& commandLine) {
    int count = 0;
    UniqueLocalMemory<wchar_t*> list(CommandLineToArgvW(commandLine.c_str(), &count));
    if (!list.IsValid()) return {};
    return std::vector<std::wstring>(list.Get() + 1, list.Get() + count);
}

TEST(ArgumentQuoting, AwkwardArgumentsComeBackUnchanged) {
    const std::vector<std::wstring> arguments = {
        L"",
        L"plain",
        L"two words",
        L"tab\there",
        L"say \"hi\"",
        L"\"",
        L"C:\\folder with space\\",
        L"C:\\no-space\\",
        L"\\\\server\\share name\\\\",
        L"back\\\"slash quote",
        L"two\\\\\"before",
        L"\\",
    };
    std::wstring commandLine = L"program.exe";
    for (const std::wstring& argument : arguments) {
        EXPECT_EQ(ArgumentsOf(L"program.exe " + QuoteArgument(argument)),
                  std::vector<std::wstring>{argument})
            << QuoteArgument(argument);
        commandLine += L" " + QuoteArgument(argument);
    }
    EXPECT_EQ(ArgumentsOf(commandLine), arguments);
}

}  // namespace

#include <gtest/gtest.h>

#include "app/CommandLine.h"

namespace {

TEST(CommandLine, HexArgumentsStopAtTheFirstOtherCharacter) {
    EXPECT_EQ(ParseHexArgument(L"1A4x"), 0x1A4u);
    EXPECT_EQ(ParseHexArgument(L"0x1A4"), 0u);
    EXPECT_EQ(ParseHexArgument(L""), 0u);
    EXPECT_EQ(ParseHexArgument(L"ffffFFFF00000001"), 0xFFFFFFFF00000001u);
    CommandLine parsed = ParseCommandLine(L"server.exe 1c 2C 0 \"C:\\Dump Dir\"");
    EXPECT_EQ(parsed.inputHandle, 0x1Cu);
    EXPECT_EQ(parsed.outputHandle, 0x2Cu);
    EXPECT_EQ(parsed.ownerWindow, 0u);
    EXPECT_STREQ(parsed.dumpDirectory.Chars(), L"C:\\Dump Dir");
    EXPECT_TRUE(ParseCommandLine(L"server.exe 1 2 3 \"\"").dumpDirectory.IsNull());
    EXPECT_TRUE(ParseCommandLine(L"server.exe 1 2").dumpDirectory.IsNull());
}

}  // namespace

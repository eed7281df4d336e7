#include <gtest/gtest.h>

#include <string>

#include "foundation/Utf16Text.h"

namespace {

TEST(Utf16Text, PairsPassAndUnpairedSurrogatesAreReplacedUpToTheLimit) {
    const struct {
        const char16_t* units;
        int32_t limit;
        const wchar_t* text;
    } kCases[] = {
        {u"Caf\u00e9 \U0001D11E", 64, L"Caf\u00e9 \xD834\xDD1E"},
        {u"ab\0cd", 5, L"ab"},
        {u"abcdef", 4, L"abcd"},
        {u"\xDD1E\xD834!", 8, L"\xFFFD\xFFFD!"},
        {u"\xD834\xD834\xDD1E", 8, L"\xFFFD\xD834\xDD1E"},
        // A pair that the limit cuts in two.
        {u"a\U0001D11E", 2, L"a\xFFFD"},
        {u"", 8, L""},
    };
    for (const auto& each : kCases) {
        WideString text = FromUtf16UpTo(each.units, each.limit);
        ASSERT_FALSE(text.IsNull());
        EXPECT_EQ(std::wstring(text.Chars()), std::wstring(each.text));
    }
}

}  // namespace

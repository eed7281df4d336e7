#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "foundation/Utf8Text.h"

namespace {

// Each ill-formed part gives one U+FFFD: the longest start of a sequence that
// could still have become valid, or else the single byte.
TEST(Utf8Text, WellFormedTextPassesAndIllFormedPartsAreReplaced) {
    const struct {
        const char* bytes;
        const wchar_t* text;
    } kCases[] = {
        {"plain ~", L"plain ~"},
        {"Caf\xC3\xA9", L"Caf\u00e9"},
        {"\xEF\xBF\xBF", L"\xFFFF"},
        {"\xF0\x9D\x84\x9E", L"\xD834\xDD1E"},
        {"\xF4\x8F\xBF\xBF", L"\xDBFF\xDFFF"},
        {"a\xC3", L"a\xFFFD"},
        {"\xC3 b", L"\xFFFD b"},
        {"\xF0\x9F\x8E!", L"\xFFFD!"},
        {"\x80\xBF", L"\xFFFD\xFFFD"},
        {"\xC0\xAF", L"\xFFFD\xFFFD"},
        {"\xE0\x80\x80", L"\xFFFD\xFFFD\xFFFD"},
        {"\xED\xA0\x80", L"\xFFFD\xFFFD\xFFFD"},
        {"\xF4\x90\x80\x80", L"\xFFFD\xFFFD\xFFFD\xFFFD"},
        {"\xF5\xFF", L"\xFFFD\xFFFD"},
    };
    for (const auto& each : kCases) {
        WideString text = FromUtf8(each.bytes, static_cast<int32_t>(std::strlen(each.bytes)));
        ASSERT_FALSE(text.IsNull());
        EXPECT_EQ(std::wstring(text.Chars()), std::wstring(each.text)) << each.bytes;
    }
    EXPECT_EQ(std::wstring(FromUtf8("\xC3\xA9z", 1).Chars()), L"\xFFFD");
}

}  // namespace

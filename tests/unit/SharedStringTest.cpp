#include <gtest/gtest.h>

#include <cstring>

#include "foundation/SharedString.h"

namespace {

WideString Wide(const wchar_t* text) {
    WideString string;
    EXPECT_TRUE(string.Assign(text));
    return string;
}

TEST(SharedString, NullAndEmptyAreDifferentValues) {
    WideString null;
    EXPECT_TRUE(null.IsNull());
    EXPECT_EQ(null.GetLength(), 0);
    WideString empty;
    ASSERT_TRUE(empty.Assign(L""));
    EXPECT_FALSE(empty.IsNull());
    EXPECT_EQ(empty.GetCapacity(), 0);
    EXPECT_NE(null, empty);
    ASSERT_TRUE(empty.Assign(static_cast<const wchar_t*>(nullptr)));
    EXPECT_TRUE(empty.IsNull());
    EXPECT_EQ(null, empty);
}

TEST(SharedString, LengthIsCountedOnceAfterTheBufferIsFilled) {
    WideString text;
    wchar_t* buffer = text.GetBuffer(10);
    ASSERT_NE(buffer, nullptr);
    wcscpy(buffer, L"abc");
    EXPECT_EQ(text.GetLength(), 3);
    buffer = text.GetBuffer(10);
    ASSERT_NE(buffer, nullptr);
    buffer[1] = 0;
    EXPECT_EQ(text.GetLength(), 1);
}

TEST(SharedString, CountedAssignTakesTheLeadingCharacters) {
    WideString text;
    ASSERT_TRUE(text.Assign(L"abc>12", 3));
    EXPECT_STREQ(text.Chars(), L"abc");
    EXPECT_EQ(text.GetLength(), 3);
}

TEST(SharedString, CopiesShareUntilOneIsWritten) {
    WideString first = Wide(L"0123456789");
    WideString second = first;
    EXPECT_EQ(first.Chars(), second.Chars());
    EXPECT_EQ(first.GetReferenceCount(), 2);
    ASSERT_TRUE(second.Append(L"abc"));
    EXPECT_STREQ(first.Chars(), L"0123456789");
    EXPECT_STREQ(second.Chars(), L"0123456789abc");
    EXPECT_NE(first.Chars(), second.Chars());
    EXPECT_EQ(second.GetCapacity(), 13);
    EXPECT_EQ(first.GetReferenceCount(), 1);
    second = first;
    second = second;
    EXPECT_EQ(first.GetReferenceCount(), 2);
    second.Release();
    EXPECT_TRUE(second.IsNull());
    EXPECT_EQ(first.GetReferenceCount(), 1);
}

TEST(SharedString, AppendAtLeastDoublesTheCapacity) {
    WideString small = Wide(L"0123456789");
    ASSERT_EQ(small.GetCapacity(), 10);
    ASSERT_TRUE(small.Append(L"abc"));
    EXPECT_EQ(small.GetCapacity(), 20);
    WideString large = Wide(L"0123456789");
    ASSERT_TRUE(large.Append(L"abcdefghijklmnopqrstuvwxy"));
    EXPECT_EQ(large.GetCapacity(), 35);
    EXPECT_EQ(large.GetLength(), 35);
    EXPECT_STREQ(large.Chars(), L"0123456789abcdefghijklmnopqrstuvwxy");
}

TEST(SharedString, InsertMovesTheTailAndHonoursItsPosition) {
    WideString middle = Wide(L"abc");
    ASSERT_TRUE(middle.Insert(1, L"xy"));
    EXPECT_STREQ(middle.Chars(), L"axybc");
    EXPECT_EQ(middle.GetLength(), 5);
    WideString end = Wide(L"abc");
    ASSERT_TRUE(end.Insert(-1, L"xy"));
    EXPECT_STREQ(end.Chars(), L"abcxy");
    WideString null;
    ASSERT_TRUE(null.Insert(0, L"xy", 0));
    EXPECT_TRUE(null.IsNull());
    NarrowString narrow;
    ASSERT_TRUE(narrow.Assign("bd"));
    ASSERT_TRUE(narrow.Insert(1, "c"));
    ASSERT_TRUE(narrow.Insert(0, "a"));
    EXPECT_STREQ(narrow.Chars(), "abcd");
}

TEST(SharedString, EqualityIsExact) {
    EXPECT_EQ(Wide(L"abc"), Wide(L"abc"));
    EXPECT_NE(Wide(L"ABC"), Wide(L"abc"));
    EXPECT_NE(Wide(L"abc"), Wide(L"abcd"));
    EXPECT_NE(Wide(L"abcd"), Wide(L"abc"));
}

TEST(SharedString, FormatFollowsTheWideRuntimeConventions) {
    WideString version = Format(L"%i.%i.%i.%i", 1, 2, 3, 4);
    EXPECT_STREQ(version.Chars(), L"1.2.3.4");
    EXPECT_EQ(version.GetCapacity(), 8);
    EXPECT_STREQ(Format(L"%.8X", -1).Chars(), L"FFFFFFFF");
    EXPECT_STREQ(Format(L"%.4x|%.2i|%.4i", 0xE9, 5, 2026).Chars(), L"00e9|05|2026");
    EXPECT_STREQ(Format(L"%s-%S", L"wide", "narrow").Chars(), L"wide-narrow");
    EXPECT_STREQ(
        Format(L"%s|%S", static_cast<wchar_t*>(nullptr), static_cast<char*>(nullptr)).Chars(),
        L"(null)|(null)");
    EXPECT_STREQ(Format(L"%p", reinterpret_cast<void*>(0x1234)).Chars(), L"0000000000001234");
}

TEST(SharedString, ToUtf8EncodesEveryPlane) {
    NarrowString accented = ToUtf8(L"\u00e9");
    EXPECT_STREQ(accented.Chars(), "\xC3\xA9");
    EXPECT_EQ(accented.GetCapacity(), 6);
    EXPECT_STREQ(ToUtf8(L"\xD83D\xDE00").Chars(), "\xF0\x9F\x98\x80");
    EXPECT_STREQ(ToUtf8(L"a\xD800z").Chars(), "a\xEF\xBF\xBDz");
    EXPECT_TRUE(ToUtf8(nullptr).IsNull());
}

TEST(SharedString, FromNarrowWidensByteForByte) {
    WideString wide = FromNarrow("A\xE9\x80\xFF");
    EXPECT_STREQ(wide.Chars(), L"A\u00e9\u0080\u00ff");
    WideString empty = FromNarrow("");
    EXPECT_FALSE(empty.IsNull());
    EXPECT_EQ(empty.GetLength(), 0);
    EXPECT_TRUE(FromNarrow(nullptr).IsNull());
}

}  // namespace

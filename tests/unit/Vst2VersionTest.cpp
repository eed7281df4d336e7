#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "scan/vst2/Vst2Version.h"

namespace {

std::wstring Shown(const WideString& text) {
    return text.IsNull() ? L"<null>" : text.Chars();
}

TEST(FormatVst2VersionTest, EachRangeGivesItsText) {
    const struct {
        int32_t version;
        const wchar_t* expected;
    } cases[] = {
        {0, L""},
        {3, L"3.0.0.0"},
        {-5, L"-5.0.0.0"},
        {INT32_MIN, L"-2147483648.0.0.0"},
        {9, L"9.0.0.0"},
        {10, L"0.0.1.0"},
        {42, L"0.0.4.2"},
        {1234, L"1.2.3.4"},
        {9999, L"9.9.9.9"},
        {10000, L"1.0.0.0"},
        {12345, L"1.2.3.4"},
        {65535, L"6.5.5.3"},
        {65536, L"1.0.0.0"},
        {0x010203, L"1.2.3.0"},
        {0x64FFFF, L"100.255.255.0"},
        {0x650000, L"0.66.19.136"},
        {12345678, L"1.23.45.678"},
        {INT32_MAX, L"214.74.83.647"},
    };
    for (const auto& version : cases) {
        EXPECT_EQ(Shown(FormatVst2Version(version.version)), version.expected)
            << "version " << version.version;
    }
}

}  // namespace

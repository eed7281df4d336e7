#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>

#include "OutputCapture.h"
#include "scan/common/ReportRows.h"
#include "scan/vst2/Vst2Report.h"

namespace {

WideString Text(const wchar_t* chars, int32_t count = -1) {
    WideString text;
    EXPECT_TRUE(text.Assign(chars, count));
    return text;
}

std::wstring Shown(const WideString& text) {
    return text.IsNull() ? L"<null>" : text.Chars();
}

std::string CaptureReport(const Vst2ScanResult& result) {
    OutputCapture capture;
    WriteVst2Report(result);
    return capture.Finish();
}

void AddShell(Vst2ScanResult& result, int32_t id, const wchar_t* name) {
    ASSERT_TRUE(result.shells.Add(new CShellInfo(id, Text(name))));
}

// ---- The report ----

TEST(ScanReportTest, ResultInItsInitialStateWithAnError) {
    Vst2ScanResult result;
    result.error = Text(L"Failed to load library, err=126");
    EXPECT_EQ(CaptureReport(result), R"(>:{
>:  "id":        "00000000",
>:  "name":      "",
>:  "vendor":    "",
>:  "product":   "",
>:  "version":   "",
>:  "error":     "Failed to load library, err=126",
>:  "numInputs": 0,
>:  "numOutputs":0,
>:  "wantsMidi":  false,
>:  "sendsMidi": false,
>:  "platform":  "x64",
>:  "audio64":   false,
>:  "category":  -1,
>:  "synthEdit": false,
>:}
)");
}

TEST(ScanReportTest, PlainPluginWithEscapedTexts) {
    Vst2ScanResult result;
    result.id = 0x0000ABCD;
    result.name = Text(L"Synth \"X\" 1/2\tC:\\d\u00e9");
    result.vendor = Text(L"");
    result.product = Text(L"Prod");
    result.version = Text(L"1.2.3.4");
    result.numInputs = 2;
    result.numOutputs = 8;
    result.wantsMidi = true;
    result.audio64 = true;
    result.synthEdit = true;
    result.category = 2;
    EXPECT_EQ(CaptureReport(result), R"(>:{
>:  "id":        "0000ABCD",
>:  "name":      "Synth \"X\" 1\/2\tC:\\d\u00e9",
>:  "vendor":    "",
>:  "product":   "Prod",
>:  "version":   "1.2.3.4",
>:  "error":     "",
>:  "numInputs": 2,
>:  "numOutputs":8,
>:  "wantsMidi":  true,
>:  "sendsMidi": false,
>:  "platform":  "x64",
>:  "audio64":   true,
>:  "category":  2,
>:  "synthEdit": true,
>:}
)");
}

TEST(ScanReportTest, ShellPluginListsItsSubPluginsInOrder) {
    Vst2ScanResult result;
    result.id = 0x7FFFFFFF;
    result.name = Text(L"Shell");
    result.sendsMidi = true;
    result.numInputs = -1;
    result.category = 10;
    AddShell(result, 0x12345678, L"Sub \"One\"");
    AddShell(result, -1, L"Two/\u00e9");
    EXPECT_EQ(CaptureReport(result), R"(>:{
>:  "id":        "7FFFFFFF",
>:  "name":      "Shell",
>:  "vendor":    "",
>:  "product":   "",
>:  "version":   "",
>:  "error":     "",
>:  "numInputs": -1,
>:  "numOutputs":0,
>:  "wantsMidi":  false,
>:  "sendsMidi": true,
>:  "platform":  "x64",
>:  "audio64":   false,
>:  "category":  10,
>:  "synthEdit": false,
>:  "shells": {
>:        "12345678": "Sub \"One\"",
>:        "FFFFFFFF": "Two\/\u00e9",
>:  },
>:}
)");
}

TEST(ScanReportTest, ShellWithoutSubPluginsWritesAnEmptyShellsObject) {
    Vst2ScanResult result;
    result.id = -1;
    result.category = 10;
    EXPECT_EQ(CaptureReport(result), R"(>:{
>:  "id":        "FFFFFFFF",
>:  "name":      "",
>:  "vendor":    "",
>:  "product":   "",
>:  "version":   "",
>:  "error":     "",
>:  "numInputs": 0,
>:  "numOutputs":0,
>:  "wantsMidi":  false,
>:  "sendsMidi": false,
>:  "platform":  "x64",
>:  "audio64":   false,
>:  "category":  10,
>:  "synthEdit": false,
>:  "shells": {
>:  },
>:}
)");
}

TEST(ScanReportTest, ShellsAreLeftOutUnlessTheCategoryIsShell) {
    Vst2ScanResult result;
    result.category = 2;
    AddShell(result, 5, L"Five");
    AddShell(result, 7, L"Seven");
    EXPECT_EQ(CaptureReport(result), R"(>:{
>:  "id":        "00000000",
>:  "name":      "",
>:  "vendor":    "",
>:  "product":   "",
>:  "version":   "",
>:  "error":     "",
>:  "numInputs": 0,
>:  "numOutputs":0,
>:  "wantsMidi":  false,
>:  "sendsMidi": false,
>:  "platform":  "x64",
>:  "audio64":   false,
>:  "category":  2,
>:  "synthEdit": false,
>:}
)");
}

TEST(ScanReportTest, NullShellEntryIsSkipped) {
    Vst2ScanResult result;
    result.category = 10;
    AddShell(result, 5, L"Five");
    ASSERT_TRUE(result.shells.Add(nullptr));
    AddShell(result, 7, L"Seven");
    std::string report = CaptureReport(result);
    EXPECT_NE(report.find(R"(>:  "shells": {
>:        "00000005": "Five",
>:        "00000007": "Seven",
>:  },
>:}
)"),
              std::string::npos)
        << report;
}

// ---- EscapeJsonText ----

struct EscapeCase {
    WideString input;
    const wchar_t* expected;
};

TEST(EscapeJsonTextTest, EscapesEachUnitByTheTable) {
    const wchar_t nulInside[] = {L'a', 0, L'b'};
    const EscapeCase cases[] = {
        {Text(L"\b"), L"\\b"},
        {Text(L"\t"), L"\\t"},
        {Text(L"\n"), L"\\n"},
        {Text(L"\f"), L"\\f"},
        {Text(L"\r"), L"\\r"},
        {Text(L"\""), L"\\\""},
        {Text(L"/"), L"\\/"},
        {Text(L"\\"), L"\\\\"},
        {Text(L"\x01"), L"\\u0001"},
        {Text(L"\x0B"), L"\\u000b"},
        {Text(L"\x1F"), L"\\u001f"},
        {Text(L"\x7F"), L"\\u007f"},
        {Text(L"\x80"), L"\\u0080"},
        {Text(L"\u00e9"), L"\\u00e9"},
        {Text(L"\uABCD"), L"\\uabcd"},
        {Text(L"\xFFFF"), L"\\uffff"},
        {Text(L"\xD83D\xDE00"), L"\\ud83d\\ude00"},
        {Text(L" "), L" "},
        {Text(L"~"), L"~"},
        {Text(L" !09AZaz}~"), L" !09AZaz}~"},
        {Text(L"a\"b\\c/d\te"), L"a\\\"b\\\\c\\/d\\te"},
        {Text(nulInside, 3), L"a"},
        {Text(L""), L""},
        {WideString(), L""},
    };
    for (const EscapeCase& escape : cases) {
        WideString escaped = EscapeJsonText(escape.input);
        EXPECT_EQ(Shown(escaped), escape.expected) << "input " << Shown(escape.input);
    }
}

}  // namespace

#include "scan/ScanResult.h"

#include "channel/OutputChannel.h"
#include "protocol/Protocol.h"
#include "scan/Vst2.h"

// Hosts know a shell's report by the plugin's own category number.
static_assert(kPlugCategShell == protocol::kShellCategory);

namespace {

// Never null, so a text that could not be built is written as "" rather than "(null)".
const wchar_t* TextOrEmpty(const WideString& text) {
    return text.IsNull() ? L"" : text.Chars();
}

const wchar_t* BooleanText(bool value) {
    return value ? L"true" : L"false";
}

const wchar_t* ShortEscape(wchar_t unit) {
    switch (unit) {
        case 0x08:
            return L"\\b";
        case 0x09:
            return L"\\t";
        case 0x0A:
            return L"\\n";
        case 0x0C:
            return L"\\f";
        case 0x0D:
            return L"\\r";
        case 0x22:
            return L"\\\"";
        case 0x2F:
            return L"\\/";
        case 0x5C:
            return L"\\\\";
        default:
            return nullptr;
    }
}

[[nodiscard]] bool AppendEscapedUnit(WideString& escaped, wchar_t unit) {
    if (const wchar_t* shortEscape = ShortEscape(unit)) return escaped.Append(shortEscape);
    if (unit < 0x20 || unit > 0x7E) {
        static const wchar_t kHexDigits[] = L"0123456789abcdef";
        const wchar_t longEscape[] = {L'\\',
                                      L'u',
                                      kHexDigits[(unit >> 12) & 0xF],
                                      kHexDigits[(unit >> 8) & 0xF],
                                      kHexDigits[(unit >> 4) & 0xF],
                                      kHexDigits[unit & 0xF]};
        return escaped.Append(longEscape, 6);
    }
    return escaped.Append(&unit, 1);
}

void WriteShellRows(const ShellList& shells) {
    WriteReport(L"  \"shells\": {\n");
    for (int32_t i = 0; i < shells.Count(); ++i) {
        const CShellInfo* shell = shells[i];
        if (shell == nullptr) continue;
        WideString escaped = EscapeJsonText(shell->name);
        WriteReport(L"        \"%.8X\": \"%s\",\n", shell->id, TextOrEmpty(escaped));
    }
    WriteReport(L"  },\n");
}

}  // namespace

void WriteScanReport(const ScanResult& result) {
    WriteReport(L"{\n");
    WriteReport(L"  \"id\":        \"%.8X\",\n", result.id);
    WriteTextRow(L"  \"name\":      \"%s\",\n", result.name);
    WriteTextRow(L"  \"vendor\":    \"%s\",\n", result.vendor);
    WriteTextRow(L"  \"product\":   \"%s\",\n", result.product);
    WriteTextRow(L"  \"version\":   \"%s\",\n", result.version);
    WriteTextRow(L"  \"error\":     \"%s\",\n", result.error);
    WriteReport(L"  \"numInputs\": %i,\n", result.numInputs);
    WriteReport(L"  \"numOutputs\":%i,\n", result.numOutputs);
    WriteReport(L"  \"wantsMidi\":  %s,\n", BooleanText(result.wantsMidi));
    WriteReport(L"  \"sendsMidi\": %s,\n", BooleanText(result.sendsMidi));
    WriteReport(L"  \"platform\":  \"%s\",\n", L"x64");
    WriteReport(L"  \"audio64\":   %s,\n", BooleanText(result.audio64));
    WriteReport(L"  \"category\":  %i,\n", result.category);
    WriteReport(L"  \"synthEdit\": %s,\n", BooleanText(result.synthEdit));
    if (result.category == protocol::kShellCategory) WriteShellRows(result.shells);
    WriteReport(L"}\n");
}

void WriteTextRow(const wchar_t* format, const WideString& text) {
    WideString escaped = EscapeJsonText(text);
    WriteReport(format, TextOrEmpty(escaped));
}

WideString EscapeJsonText(const WideString& text) {
    WideString escaped = EmptyText();
    if (text.IsNull()) return escaped;
    // A failed append keeps what was built so far, which is still a whole
    // JSON string body because each escape goes in with one append.
    for (const wchar_t* unit = text.Chars(); *unit != 0; ++unit) {
        if (!AppendEscapedUnit(escaped, *unit)) break;
    }
    return escaped;
}

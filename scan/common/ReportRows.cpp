#include "scan/common/ReportRows.h"

#include "channel/OutputChannel.h"
#include "protocol/HexDigits.h"

namespace {

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
        const wchar_t longEscape[] = {L'\\',
                                      L'u',
                                      static_cast<wchar_t>(protocol::LowerHexDigit(unit >> 12)),
                                      static_cast<wchar_t>(protocol::LowerHexDigit(unit >> 8)),
                                      static_cast<wchar_t>(protocol::LowerHexDigit(unit >> 4)),
                                      static_cast<wchar_t>(protocol::LowerHexDigit(unit))};
        return escaped.Append(longEscape, 6);
    }
    return escaped.Append(&unit, 1);
}

}  // namespace

const wchar_t* TextOrEmpty(const WideString& text) {
    return text.IsNull() ? L"" : text.Chars();
}

const wchar_t* BooleanText(bool value) {
    return value ? L"true" : L"false";
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

// What every format's JSON report is written with: rows on the ">" channel,
// texts JSON-escaped to pure ASCII.
#pragma once

#include "foundation/SharedString.h"

// Never null, so a text that could not be built is written as "" rather than "(null)".
const wchar_t* TextOrEmpty(const WideString& text);

const wchar_t* BooleanText(bool value);

// One report row whose only argument is the text, JSON-escaped.
void WriteTextRow(const wchar_t* format, const WideString& text);

// The body of a JSON string for the text: pure ASCII, empty for a null text.
WideString EscapeJsonText(const WideString& text);

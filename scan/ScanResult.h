// The record one scan fills, and the JSON report that hands it to the host.
#pragma once

#include <cstdint>

#include "foundation/Map.h"
#include "foundation/SharedString.h"
#include "foundation/Vector.h"

// One sub-plugin of a shell plugin.
struct CShellInfo {
    CShellInfo(int32_t shellId, const WideString& shellName) : id(shellId), name(shellName) {}

    int32_t id;
    WideString name;
};

using ShellList = CVector<CShellInfo*, SOwnedPtr, CShellInfo*>;
// The sub-plugin ids already recorded during one shell enumeration.
using ShellIdSet = CMap<int, bool, SValue, SValue, int>;

struct ScanResult {
    int32_t id = 0;
    WideString name;
    WideString vendor;
    WideString product;
    WideString version;
    WideString error;  // stays null when the scan succeeded
    int32_t numInputs = 0;
    int32_t numOutputs = 0;
    bool wantsMidi = false;
    bool sendsMidi = false;
    bool audio64 = false;
    bool synthEdit = false;
    int32_t category = -1;  // -1: the scan ended before the category was asked
    ShellList shells;
};

// Writes the report on the ">" channel, one line per row.
void WriteScanReport(const ScanResult& result);

// One report row whose only argument is the text, JSON-escaped.
void WriteTextRow(const wchar_t* format, const WideString& text);

// The body of a JSON string for the text: pure ASCII, empty for a null text.
WideString EscapeJsonText(const WideString& text);

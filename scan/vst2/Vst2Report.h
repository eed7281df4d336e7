// The record one VST 2 scan fills, and the JSON report that hands it to the host.
#pragma once

#include <cstdint>

#include "foundation/SharedString.h"
#include "foundation/Vector.h"

// One sub-plugin of a shell plugin.
struct CShellInfo {
    CShellInfo(int32_t shellId, const WideString& shellName) : id(shellId), name(shellName) {}

    int32_t id;
    WideString name;
};

using ShellList = CVector<CShellInfo*, SOwnedPtr, CShellInfo*>;

struct Vst2ScanResult {
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
    ShellList shells;       // each id once, in listing order
};

// Writes the report on the ">" channel, one line per row.
void WriteVst2Report(const Vst2ScanResult& result);

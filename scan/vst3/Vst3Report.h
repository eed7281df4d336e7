// The record one VST3 scan fills, and the JSON report that hands it to the
// host: the module's facts, its factory's and one object per class.
#pragma once

#include <cstdint>

#include "foundation/SharedString.h"
#include "foundation/Vector.h"

// One class of a VST3 factory, from the fullest record the factory gave for
// it; texts the record does not carry stay null.
struct CVst3Class {
    unsigned char cid[16] = {};
    int32_t cardinality = 0;
    WideString category;
    WideString name;
    WideString vendor;
    WideString version;
    WideString sdkVersion;
    WideString subCategories;
    uint32_t classFlags = 0;
};

using Vst3ClassList = CVector<CVst3Class*, SOwnedPtr, CVst3Class*>;

struct Vst3ScanResult {
    WideString error;        // stays null when the scan succeeded
    WideString fileVersion;  // the module's version resource
    WideString factoryVendor;
    WideString factoryUrl;
    WideString factoryEmail;
    int32_t factoryFlags = 0;
    Vst3ClassList classes;  // in the factory's order
};

// Writes the report on the ">" channel, one line per row.
void WriteVst3Report(const Vst3ScanResult& result);

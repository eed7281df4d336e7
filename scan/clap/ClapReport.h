// The record one CLAP scan fills, and the JSON report that hands it to the
// host: the file's facts and one object per plugin descriptor.
#pragma once

#include "foundation/SharedString.h"
#include "foundation/Vector.h"

using ClapFeatureList = CVector<WideString*, SOwnedPtr, WideString*>;

// One plugin descriptor of a CLAP file; null texts are those the plugin left null.
struct CClapPlugin {
    WideString id;
    WideString name;
    WideString vendor;
    WideString version;
    WideString description;
    WideString url;
    WideString manualUrl;
    WideString supportUrl;
    ClapFeatureList features;
};

using ClapPluginList = CVector<CClapPlugin*, SOwnedPtr, CClapPlugin*>;

struct ClapScanResult {
    WideString error;        // stays null when the scan succeeded
    WideString fileVersion;  // the library's version resource
    WideString clapVersion;  // "major.minor.revision" of the entry, once read
    ClapPluginList plugins;  // in descriptor order
};

// Writes the report on the ">" channel, one line per row.
void WriteClapReport(const ClapScanResult& result);

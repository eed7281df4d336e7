// The record one VST3 scan fills, and the JSON report that hands it to the
// host: the module's facts, its factory's and one object per class.
#pragma once

#include <cstdint>
#include <optional>

#include "foundation/SharedString.h"
#include "foundation/Vector.h"

// One bus of a component, as getBusInfo described it.
struct CVst3Bus {
    WideString name;
    int32_t channels = 0;  // of an event bus: its MIDI channels
    bool main = false;     // else an aux bus
    bool defaultActive = false;
};

using Vst3BusList = CVector<CVst3Bus*, SOwnedPtr, CVst3Bus*>;

// One class of a VST3 factory, from the fullest record the factory gave for
// it; texts the record does not carry stay null. The rest is read from an
// instance of an audio processor class; the others keep the defaults.
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
    WideString instanceError;  // the step that failed; null when none did
    Vst3BusList audioInputs;
    Vst3BusList audioOutputs;
    Vst3BusList eventInputs;
    Vst3BusList eventOutputs;
    int32_t parameters = -1;  // -1 when unknown
    std::optional<uint32_t> latencySamples;
};

using Vst3ClassList = CVector<CVst3Class*, SOwnedPtr, CVst3Class*>;

struct Vst3ScanResult {
    WideString error;        // stays null when the scan succeeded
    WideString fileVersion;  // the module's version resource
    WideString factoryVendor;
    WideString factoryUrl;
    WideString factoryEmail;
    int32_t factoryFlags = 0;
    bool instances = false;  // whether the scan got as far as the instances
    Vst3ClassList classes;   // in the factory's order
};

// Writes the report on the ">" channel, one line per row.
void WriteVst3Report(const Vst3ScanResult& result);

// The record one CLAP scan fills, and the JSON report that hands it to the
// host: the file's facts and one object per plugin descriptor, with what an
// instance of that plugin told.
#pragma once

#include <cstdint>
#include <optional>

#include "foundation/SharedString.h"
#include "foundation/Vector.h"

using ClapFeatureList = CVector<WideString*, SOwnedPtr, WideString*>;

struct CClapAudioPort {
    WideString name;
    uint32_t channels = 0;
    bool main = false;
    WideString portType;  // null when the plugin gave none
};

struct CClapNotePort {
    WideString name;
    uint32_t dialects = 0;   // bit set: CLAP 1, MIDI 2, MIDI_MPE 4, MIDI2 8
    uint32_t preferred = 0;  // one of those bits
};

using ClapAudioPortList = CVector<CClapAudioPort*, SOwnedPtr, CClapAudioPort*>;
using ClapNotePortList = CVector<CClapNotePort*, SOwnedPtr, CClapNotePort*>;

// The extensions whose presence the report lists, in the report's order.
enum class ClapExtension : int32_t {
    kAudioPorts,
    kNotePorts,
    kParams,
    kLatency,
    kTail,
    kState,
    kGui,
    kAudioPortsConfig,
    kNoteName,
    kRender,
    kVoiceInfo,
    kRemoteControls,
    kRemoteControlsCompat,
    kCount,
};
constexpr int32_t kClapExtensionCount = static_cast<int32_t>(ClapExtension::kCount);
extern const char* const kClapExtensionIds[kClapExtensionCount];

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
    // From an instance; empty, or unknown, when none was tried.
    WideString instanceError;  // the step that failed; null when none did
    ClapAudioPortList audioInputs;
    ClapAudioPortList audioOutputs;
    ClapNotePortList noteInputs;
    ClapNotePortList noteOutputs;
    std::optional<uint32_t> parameters;
    std::optional<uint32_t> latencySamples;
    bool extensions[kClapExtensionCount] = {};  // answered non-null, by ClapExtension
    // The descriptor's id as the plugin holds it, valid until deinit; what
    // the plugin is created by.
    const char* factoryId = nullptr;
};

using ClapPluginList = CVector<CClapPlugin*, SOwnedPtr, CClapPlugin*>;

struct ClapScanResult {
    WideString error;        // stays null when the scan succeeded
    WideString fileVersion;  // the library's version resource
    WideString clapVersion;  // "major.minor.revision" of the entry, once read
    ClapPluginList plugins;  // in descriptor order
    bool instances = false;  // whether an instance of each plugin was tried
};

// Writes the report on the ">" channel, one line per row.
void WriteClapReport(const ClapScanResult& result);

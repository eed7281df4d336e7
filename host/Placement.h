// What a host places a plugin by, the same for every format: a synth goes on
// an instrument track, an effect with a side-chain input gets a send, a plugin
// without audio inputs is not offered as an insert.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>

#include "host/clap/ClapReport.h"
#include "host/vst2/Vst2Report.h"
#include "host/vst3/Vst3Report.h"

struct Placement {
    bool instrument = false;
    uint32_t audioInputs = 0;   // channels of the main input
    uint32_t audioOutputs = 0;  // channels of the main output
    uint32_t auxInputs = 0;     // channels of the other inputs together
    uint32_t auxOutputs = 0;    // channels of the other outputs together
    bool midiInput = false;     // takes notes or MIDI
    bool midiOutput = false;    // sends notes or MIDI
    std::optional<uint32_t> parameters;
    std::optional<uint32_t> latencySamples;
};

bool operator==(const Placement& a, const Placement& b);

// None when the report holds no facts of a loaded plugin or of an instance:
// a VST 2 report with an error; a CLAP plugin or VST3 class of a scan that
// made no instance, or whose instance failed a step.
std::optional<Placement> PlacementOf(const Vst2Report& report);
std::optional<Placement> PlacementOf(const ClapReport& report, const ClapPlugin& plugin);
std::optional<Placement> PlacementOf(const Vst3Report& report, const Vst3Class& found);

// The members side by side with others in a record; unknown numbers left out.
void WritePlacementMembers(const Placement& placement, nlohmann::ordered_json& object);

#include "host/Placement.h"

#include <algorithm>
#include <string>
#include <tuple>

namespace {

// VST 2's instrument category; the server folds the synth flag into it.
constexpr int32_t kVst2SynthCategory = 2;
constexpr char kClapInstrumentFeature[] = "instrument";
constexpr char kVst3InstrumentSubCategory[] = "Instrument";

auto Fields(const Placement& p) {
    return std::tie(p.instrument, p.audioInputs, p.audioOutputs, p.auxInputs, p.auxOutputs,
                    p.midiInput, p.midiOutput, p.parameters, p.latencySamples);
}

// A negative count stands for no channel.
uint32_t Channels(int32_t count) {
    return count > 0 ? static_cast<uint32_t>(count) : 0;
}

std::optional<uint32_t> KnownCount(int32_t count) {
    if (count < 0) return std::nullopt;
    return static_cast<uint32_t>(count);
}

bool HasSubCategory(const std::string& subCategories, const std::string& wanted) {
    for (size_t start = 0; start <= subCategories.size();) {
        size_t end = std::min(subCategories.find('|', start), subCategories.size());
        if (subCategories.compare(start, end - start, wanted) == 0) return true;
        start = end + 1;
    }
    return false;
}

// The port flagged main gives the main channels, every other port the aux ones.
void AddClapPorts(const std::vector<ClapAudioPort>& ports, uint32_t& main, uint32_t& aux) {
    for (const ClapAudioPort& port : ports) {
        if (port.main) {
            main = port.channels;
        } else {
            aux += port.channels;
        }
    }
}

// The first main bus gives the main channels, the aux buses the aux ones.
void AddVst3Buses(const std::vector<Vst3Bus>& buses, uint32_t& main, uint32_t& aux) {
    bool mainSeen = false;
    for (const Vst3Bus& bus : buses) {
        if (!bus.main) {
            aux += Channels(bus.channels);
        } else if (!mainSeen) {
            main = Channels(bus.channels);
            mainSeen = true;
        }
    }
}

}  // namespace

bool operator==(const Placement& a, const Placement& b) {
    return Fields(a) == Fields(b);
}

std::optional<Placement> PlacementOf(const Vst2Report& report) {
    if (!report.error.empty()) return std::nullopt;
    Placement placement;
    placement.instrument = report.category == kVst2SynthCategory;
    placement.audioInputs = Channels(report.numInputs);
    placement.audioOutputs = Channels(report.numOutputs);
    placement.midiInput = report.wantsMidi;
    placement.midiOutput = report.sendsMidi;
    return placement;
}

std::optional<Placement> PlacementOf(const ClapReport& report, const ClapPlugin& plugin) {
    if (!report.instances || !plugin.instanceError.empty()) return std::nullopt;
    Placement placement;
    placement.instrument = std::find(plugin.features.begin(), plugin.features.end(),
                                     kClapInstrumentFeature) != plugin.features.end();
    AddClapPorts(plugin.audioInputs, placement.audioInputs, placement.auxInputs);
    AddClapPorts(plugin.audioOutputs, placement.audioOutputs, placement.auxOutputs);
    placement.midiInput = !plugin.noteInputs.empty();
    placement.midiOutput = !plugin.noteOutputs.empty();
    placement.parameters = KnownCount(plugin.parameters);
    placement.latencySamples = KnownCount(plugin.latencySamples);
    return placement;
}

std::optional<Placement> PlacementOf(const Vst3Report& report, const Vst3Class& found) {
    if (!report.instances || !found.instanceError.empty()) return std::nullopt;
    Placement placement;
    placement.instrument = HasSubCategory(found.subCategories, kVst3InstrumentSubCategory);
    AddVst3Buses(found.audioInputs, placement.audioInputs, placement.auxInputs);
    AddVst3Buses(found.audioOutputs, placement.audioOutputs, placement.auxOutputs);
    placement.midiInput = !found.eventInputs.empty();
    placement.midiOutput = !found.eventOutputs.empty();
    placement.parameters = KnownCount(found.parameters);
    placement.latencySamples = KnownCount(found.latencySamples);
    return placement;
}

void WritePlacementMembers(const Placement& placement, nlohmann::ordered_json& object) {
    object["instrument"] = placement.instrument;
    object["audioInputs"] = placement.audioInputs;
    object["audioOutputs"] = placement.audioOutputs;
    object["auxInputs"] = placement.auxInputs;
    object["auxOutputs"] = placement.auxOutputs;
    object["midiInput"] = placement.midiInput;
    object["midiOutput"] = placement.midiOutput;
    if (placement.parameters) object["parameters"] = *placement.parameters;
    if (placement.latencySamples) object["latencySamples"] = *placement.latencySamples;
}

// The report a scan server gives for a CLAP file, read from its JSON
// (trailing commas and all), with texts unescaped to UTF-8; and the members
// that records of CLAP plugins store.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

struct ClapAudioPort {
    std::string name;
    uint32_t channels = 0;
    bool main = false;
    std::string portType;  // empty when the plugin names none
};

struct ClapNotePort {
    std::string name;
    uint32_t dialects = 0;   // bit set: CLAP 1, MIDI 2, MIDI_MPE 4, MIDI2 8
    uint32_t preferred = 0;  // one of those bits
};

// The descriptor's members, then what an instance told.
struct ClapPlugin {
    std::string id;
    std::string name;
    std::string vendor;
    std::string version;
    std::string description;
    std::string url;
    std::string manualUrl;
    std::string supportUrl;
    std::vector<std::string> features;
    std::string instanceError;  // the step that failed; empty when none did
    std::vector<ClapAudioPort> audioInputs;
    std::vector<ClapAudioPort> audioOutputs;
    std::vector<ClapNotePort> noteInputs;
    std::vector<ClapNotePort> noteOutputs;
    int32_t parameters = -1;              // -1 when unknown
    int32_t latencySamples = -1;          // -1 when unknown
    std::vector<std::string> extensions;  // the ids the plugin answers, of a fixed list
};

struct ClapReport {
    std::string error;
    std::string platform;
    std::string fileVersion;          // the library's version resource
    std::string clapVersion;          // "major.minor.revision"; empty when the entry was not found
    bool instances = false;           // whether an instance of each plugin was asked
    std::vector<ClapPlugin> plugins;  // in the server's order
};

bool operator==(const ClapAudioPort& a, const ClapAudioPort& b);
bool operator==(const ClapNotePort& a, const ClapNotePort& b);
bool operator==(const ClapPlugin& a, const ClapPlugin& b);
bool operator==(const ClapReport& a, const ClapReport& b);

// A parsed report object whose "format" is "clap".
[[nodiscard]] bool ReadReport(const nlohmann::ordered_json& object, ClapReport& report);

// The file's members (all but the plugins) and one plugin's members, each in
// an object of their own or side by side in one; there a plugin's instance
// members stand in an object "instance" of their own, so that they keep the
// report's names beside members of the same names that mean another thing.
[[nodiscard]] bool ReadFileMembers(const nlohmann::ordered_json& object, ClapReport& report);
void WriteFileMembers(const ClapReport& report, nlohmann::ordered_json& object);
[[nodiscard]] bool ReadItemMembers(const nlohmann::ordered_json& object, ClapPlugin& plugin);
void WriteItemMembers(const ClapPlugin& plugin, nlohmann::ordered_json& object);

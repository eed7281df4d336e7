// The report a scan server gives for a VST3 module, read from its JSON
// (trailing commas and all), with texts unescaped to UTF-8; and the members
// that records of VST3 classes store.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

// The category of the audio processors a user picks; the other classes of a
// module are their controllers and helpers.
constexpr char kVst3AudioModuleClass[] = "Audio Module Class";

struct Vst3Bus {
    std::string name;
    int32_t channels = 0;  // of an event bus: its MIDI channels
    bool main = false;     // a main bus, else an aux bus
    bool defaultActive = false;
};

// The class's members, then what an instance told.
struct Vst3Class {
    std::string cid;  // 32 upper-case hexadecimal digits
    std::string category;
    std::string name;
    std::string vendor;  // often empty: the factory's vendor stands for it
    std::string version;
    std::string sdkVersion;
    std::string subCategories;  // separated by "|"
    int32_t cardinality = 0;
    uint32_t classFlags = 0;
    std::string instanceError;  // the step that failed and its result; empty when none did
    std::vector<Vst3Bus> audioInputs;
    std::vector<Vst3Bus> audioOutputs;
    std::vector<Vst3Bus> eventInputs;
    std::vector<Vst3Bus> eventOutputs;
    int32_t parameters = -1;      // -1 when unknown
    int32_t latencySamples = -1;  // -1 when unknown
};

struct Vst3Report {
    std::string error;
    std::string platform;
    std::string fileVersion;  // the module's version resource
    std::string factoryVendor;
    std::string factoryUrl;
    std::string factoryEmail;
    int32_t factoryFlags = 0;
    bool instances = false;          // whether an instance of each audio processor class was asked
    std::vector<Vst3Class> classes;  // in the server's order
};

bool operator==(const Vst3Bus& a, const Vst3Bus& b);
bool operator==(const Vst3Class& a, const Vst3Class& b);
bool operator==(const Vst3Report& a, const Vst3Report& b);

// A parsed report object whose "format" is "vst3".
[[nodiscard]] bool ReadReport(const nlohmann::ordered_json& object, Vst3Report& report);

// The module's members (all but the classes) and one class's members, each in
// an object of their own or side by side in one; there a class's instance
// members stand in an object "instance" of their own, so that they keep the
// report's names beside members of the same names that mean another thing.
[[nodiscard]] bool ReadFileMembers(const nlohmann::ordered_json& object, Vst3Report& report);
void WriteFileMembers(const Vst3Report& report, nlohmann::ordered_json& object);
[[nodiscard]] bool ReadItemMembers(const nlohmann::ordered_json& object, Vst3Class& found);
void WriteItemMembers(const Vst3Class& found, nlohmann::ordered_json& object);

// The report a scan server gives for a VST 2 library or one sub-plugin of a
// shell, read from its JSON (trailing commas and all), with texts unescaped
// to UTF-8; and its members as records of VST 2 plugins store them.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

struct ShellPlugin {
    uint32_t id = 0;
    std::string name;
};

struct Vst2Report {
    uint32_t id = 0;
    std::string name;
    std::string vendor;
    std::string product;
    std::string version;
    std::string error;
    int32_t numInputs = 0;
    int32_t numOutputs = 0;
    bool wantsMidi = false;
    bool sendsMidi = false;
    std::string platform;
    bool audio64 = false;
    int32_t category = -1;
    bool synthEdit = false;
    // In the order the server listed them; only a shell (category 10) has them.
    std::vector<ShellPlugin> shells;
};

bool operator==(const ShellPlugin& a, const ShellPlugin& b);
bool operator==(const Vst2Report& a, const Vst2Report& b);

// The report's members, in the report or side by side with others in an
// object of their own (ordered, so that the shells keep the server's order).
// A report without a "format" member is a VST 2 report, so none is asked for.
[[nodiscard]] bool ReadReport(const nlohmann::ordered_json& object, Vst2Report& report);
void WriteReportMembers(const Vst2Report& report, nlohmann::ordered_json& object);

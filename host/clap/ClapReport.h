// The report a scan server gives for a CLAP file, read from its JSON
// (trailing commas and all), with texts unescaped to UTF-8; and the members
// that records of CLAP plugins store.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

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
};

struct ClapReport {
    std::string error;
    std::string platform;
    std::string fileVersion;          // the library's version resource
    std::string clapVersion;          // "major.minor.revision"; empty when the entry was not found
    std::vector<ClapPlugin> plugins;  // in the server's order
};

bool operator==(const ClapPlugin& a, const ClapPlugin& b);
bool operator==(const ClapReport& a, const ClapReport& b);

// A parsed report object whose "format" is "clap".
[[nodiscard]] bool ReadReport(const nlohmann::ordered_json& object, ClapReport& report);

// The file's members (all but the plugins) and one plugin's members, each in
// an object of their own or side by side in one.
[[nodiscard]] bool ReadFileMembers(const nlohmann::ordered_json& object, ClapReport& report);
void WriteFileMembers(const ClapReport& report, nlohmann::ordered_json& object);
[[nodiscard]] bool ReadItemMembers(const nlohmann::ordered_json& object, ClapPlugin& plugin);
void WriteItemMembers(const ClapPlugin& plugin, nlohmann::ordered_json& object);

// The record a scan server reports for one request, read from its JSON
// report (trailing commas and all), with texts unescaped to UTF-8.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "protocol/Protocol.h"

struct ShellPlugin {
    uint32_t id = 0;
    std::string name;
};

struct PluginReport {
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

// The report as the server writes it, without the channel names.
[[nodiscard]] bool ParseReport(const std::string& text, PluginReport& report);
// A report's text as JSON, the commas the server writes before every closing
// brace or bracket accepted; discarded when the text is no JSON.
nlohmann::ordered_json ParseReportJson(const std::string& text);

// The report's members in an object of their own (ordered, so that the
// shells keep the server's order); shared by everything that stores reports.
[[nodiscard]] bool ReadReportMembers(const nlohmann::ordered_json& object, PluginReport& report);
void WriteReportMembers(const PluginReport& report, nlohmann::ordered_json& object);

// Plugin and shell ids: one to eight hexadecimal digits on reading, always
// eight upper-case digits on writing.
[[nodiscard]] bool ParseHexId(const std::string& text, uint32_t& id);
std::string FormatHexId(uint32_t id);

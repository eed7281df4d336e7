#include "host/PluginReport.h"

#include <cstdio>

#include "host/JsonMembers.h"

using nlohmann::ordered_json;

namespace {

using json_members::ReadInt32;
using json_members::ReadText;

bool ReadFlag(const ordered_json& object, const char* key, bool& flag) {
    auto member = object.find(key);
    if (member == object.end() || !member->is_boolean()) return false;
    flag = member->get<bool>();
    return true;
}

bool ReadShells(const ordered_json& object, std::vector<ShellPlugin>& shells) {
    auto member = object.find("shells");
    if (member == object.end() || !member->is_object()) return false;
    shells.clear();
    for (auto shell = member->begin(); shell != member->end(); ++shell) {
        ShellPlugin plugin;
        if (!ParseHexId(shell.key(), plugin.id) || !shell->is_string()) return false;
        plugin.name = shell->get_ref<const std::string&>();
        shells.push_back(plugin);
    }
    return true;
}

// Drops every comma that stands right before a closing brace or bracket,
// outside strings; whitespace between them stays.
std::string RemoveTrailingCommas(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    bool inString = false;
    bool escaped = false;
    for (size_t at = 0; at < text.size(); ++at) {
        char c = text[at];
        if (inString) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == ',') {
            size_t next = text.find_first_not_of(" \t\r\n", at + 1);
            if (next != std::string::npos && (text[next] == '}' || text[next] == ']')) continue;
        }
        result += c;
    }
    return result;
}

}  // namespace

bool operator==(const ShellPlugin& a, const ShellPlugin& b) {
    return a.id == b.id && a.name == b.name;
}

bool ParseHexId(const std::string& text, uint32_t& id) {
    if (text.empty() || text.size() > 8) return false;
    uint32_t value = 0;
    for (char c : text) {
        uint32_t digit;
        if (c >= '0' && c <= '9') {
            digit = static_cast<uint32_t>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<uint32_t>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<uint32_t>(c - 'A' + 10);
        } else {
            return false;
        }
        value = value << 4 | digit;
    }
    id = value;
    return true;
}

std::string FormatHexId(uint32_t id) {
    char text[9];
    std::snprintf(text, sizeof(text), "%.8X", static_cast<unsigned>(id));
    return text;
}

ordered_json ParseReportJson(const std::string& text) {
    return ordered_json::parse(RemoveTrailingCommas(text), nullptr, false);
}

bool ReadReportMembers(const ordered_json& object, PluginReport& report) {
    if (!object.is_object()) return false;
    PluginReport read;
    std::string id;
    if (!ReadText(object, "id", id) || !ParseHexId(id, read.id)) return false;
    if (!ReadText(object, "name", read.name) || !ReadText(object, "vendor", read.vendor) ||
        !ReadText(object, "product", read.product) || !ReadText(object, "version", read.version) ||
        !ReadText(object, "error", read.error) || !ReadInt32(object, "numInputs", read.numInputs) ||
        !ReadInt32(object, "numOutputs", read.numOutputs) ||
        !ReadFlag(object, "wantsMidi", read.wantsMidi) ||
        !ReadFlag(object, "sendsMidi", read.sendsMidi) ||
        !ReadText(object, "platform", read.platform) ||
        !ReadFlag(object, "audio64", read.audio64) ||
        !ReadInt32(object, "category", read.category) ||
        !ReadFlag(object, "synthEdit", read.synthEdit)) {
        return false;
    }
    if (read.category == protocol::kShellCategory && !ReadShells(object, read.shells)) return false;
    report = std::move(read);
    return true;
}

void WriteReportMembers(const PluginReport& report, ordered_json& object) {
    object["id"] = FormatHexId(report.id);
    object["name"] = report.name;
    object["vendor"] = report.vendor;
    object["product"] = report.product;
    object["version"] = report.version;
    object["error"] = report.error;
    object["numInputs"] = report.numInputs;
    object["numOutputs"] = report.numOutputs;
    object["wantsMidi"] = report.wantsMidi;
    object["sendsMidi"] = report.sendsMidi;
    object["platform"] = report.platform;
    object["audio64"] = report.audio64;
    object["category"] = report.category;
    object["synthEdit"] = report.synthEdit;
    if (report.category == protocol::kShellCategory) {
        ordered_json shells = ordered_json::object();
        for (const ShellPlugin& shell : report.shells) shells[FormatHexId(shell.id)] = shell.name;
        object["shells"] = std::move(shells);
    }
}

bool ParseReport(const std::string& text, PluginReport& report) {
    ordered_json parsed = ParseReportJson(text);
    return !parsed.is_discarded() && ReadReportMembers(parsed, report);
}

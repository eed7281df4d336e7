#include "host/ClapReport.h"

#include "host/JsonMembers.h"
#include "host/PluginReport.h"
#include "protocol/PluginFormat.h"

using nlohmann::ordered_json;

namespace {

using json_members::ReadText;

bool ReadFeatures(const ordered_json& object, std::vector<std::string>& features) {
    auto member = object.find("features");
    if (member == object.end() || !member->is_array()) return false;
    std::vector<std::string> read;
    for (const ordered_json& feature : *member) {
        if (!feature.is_string()) return false;
        read.push_back(feature.get_ref<const std::string&>());
    }
    features = std::move(read);
    return true;
}

}  // namespace

bool operator==(const ClapPlugin& a, const ClapPlugin& b) {
    return a.id == b.id && a.name == b.name && a.vendor == b.vendor && a.version == b.version &&
           a.description == b.description && a.url == b.url && a.manualUrl == b.manualUrl &&
           a.supportUrl == b.supportUrl && a.features == b.features;
}

bool ReadClapFileMembers(const ordered_json& object, ClapReport& report) {
    return object.is_object() && ReadText(object, "error", report.error) &&
           ReadText(object, "platform", report.platform) &&
           ReadText(object, "fileVersion", report.fileVersion) &&
           ReadText(object, "clapVersion", report.clapVersion);
}

void WriteClapFileMembers(const ClapReport& report, ordered_json& object) {
    object["error"] = report.error;
    object["platform"] = report.platform;
    object["fileVersion"] = report.fileVersion;
    object["clapVersion"] = report.clapVersion;
}

bool ReadClapPluginMembers(const ordered_json& object, ClapPlugin& plugin) {
    return object.is_object() && ReadText(object, "id", plugin.id) &&
           ReadText(object, "name", plugin.name) && ReadText(object, "vendor", plugin.vendor) &&
           ReadText(object, "version", plugin.version) &&
           ReadText(object, "description", plugin.description) &&
           ReadText(object, "url", plugin.url) && ReadText(object, "manualUrl", plugin.manualUrl) &&
           ReadText(object, "supportUrl", plugin.supportUrl) &&
           ReadFeatures(object, plugin.features);
}

void WriteClapPluginMembers(const ClapPlugin& plugin, ordered_json& object) {
    object["id"] = plugin.id;
    object["name"] = plugin.name;
    object["vendor"] = plugin.vendor;
    object["version"] = plugin.version;
    object["description"] = plugin.description;
    object["url"] = plugin.url;
    object["manualUrl"] = plugin.manualUrl;
    object["supportUrl"] = plugin.supportUrl;
    object["features"] = plugin.features;
}

bool ReadClapReport(const ordered_json& object, ClapReport& report) {
    ClapReport read;
    if (!json_members::HasFormat(object, protocol::PluginFormat::kClap) ||
        !ReadClapFileMembers(object, read) ||
        !json_members::ReadList(object, "plugins", ReadClapPluginMembers, read.plugins)) {
        return false;
    }
    report = std::move(read);
    return true;
}

bool ParseClapReport(const std::string& text, ClapReport& report) {
    ordered_json parsed = ParseReportJson(text);
    return !parsed.is_discarded() && ReadClapReport(parsed, report);
}

#include "host/clap/ClapReport.h"

#include "host/ReportJson.h"

using nlohmann::ordered_json;

namespace {

using namespace report_json;

constexpr auto kPluginMembers = std::make_tuple(
    Field<Text>("id", &ClapPlugin::id), Field<Text>("name", &ClapPlugin::name),
    Field<Text>("vendor", &ClapPlugin::vendor), Field<Text>("version", &ClapPlugin::version),
    Field<Text>("description", &ClapPlugin::description), Field<Text>("url", &ClapPlugin::url),
    Field<Text>("manualUrl", &ClapPlugin::manualUrl),
    Field<Text>("supportUrl", &ClapPlugin::supportUrl),
    Field<TextList>("features", &ClapPlugin::features));

constexpr auto kFileMembers = std::make_tuple(Field<Text>("error", &ClapReport::error),
                                              Field<Text>("platform", &ClapReport::platform),
                                              Field<Text>("fileVersion", &ClapReport::fileVersion),
                                              Field<Text>("clapVersion", &ClapReport::clapVersion));

constexpr auto kReportMembers =
    std::tuple_cat(kFileMembers, std::make_tuple(Field<ObjectList<ClapPlugin, kPluginMembers>>(
                                     "plugins", &ClapReport::plugins)));

}  // namespace

bool operator==(const ClapPlugin& a, const ClapPlugin& b) {
    return EqualMembers(a, b, kPluginMembers);
}

bool operator==(const ClapReport& a, const ClapReport& b) {
    return EqualMembers(a, b, kReportMembers);
}

bool ReadReport(const ordered_json& object, ClapReport& report) {
    return HasFormat(object, protocol::PluginFormat::kClap) &&
           ReadMembers(object, kReportMembers, report);
}

bool ReadFileMembers(const ordered_json& object, ClapReport& report) {
    return ReadMembers(object, kFileMembers, report);
}

void WriteFileMembers(const ClapReport& report, ordered_json& object) {
    WriteMembers(report, kFileMembers, object);
}

bool ReadItemMembers(const ordered_json& object, ClapPlugin& plugin) {
    return ReadMembers(object, kPluginMembers, plugin);
}

void WriteItemMembers(const ClapPlugin& plugin, ordered_json& object) {
    WriteMembers(plugin, kPluginMembers, object);
}

#include "host/clap/ClapReport.h"

#include "host/ReportJson.h"

using nlohmann::ordered_json;

namespace {

using namespace report_json;

constexpr char kInstanceKey[] = "instance";

constexpr auto kAudioPortMembers = std::make_tuple(
    Field<Text>("name", &ClapAudioPort::name), Field<Uint32>("channels", &ClapAudioPort::channels),
    Field<Flag>("main", &ClapAudioPort::main), Field<Text>("portType", &ClapAudioPort::portType));

constexpr auto kNotePortMembers = std::make_tuple(
    Field<Text>("name", &ClapNotePort::name), Field<Uint32>("dialects", &ClapNotePort::dialects),
    Field<Uint32>("preferred", &ClapNotePort::preferred));

using AudioPorts = ObjectList<ClapAudioPort, kAudioPortMembers>;
using NotePorts = ObjectList<ClapNotePort, kNotePortMembers>;

constexpr auto kDescriptorMembers = std::make_tuple(
    Field<Text>("id", &ClapPlugin::id), Field<Text>("name", &ClapPlugin::name),
    Field<Text>("vendor", &ClapPlugin::vendor), Field<Text>("version", &ClapPlugin::version),
    Field<Text>("description", &ClapPlugin::description), Field<Text>("url", &ClapPlugin::url),
    Field<Text>("manualUrl", &ClapPlugin::manualUrl),
    Field<Text>("supportUrl", &ClapPlugin::supportUrl),
    Field<TextList>("features", &ClapPlugin::features));

constexpr auto kInstanceMembers =
    std::make_tuple(Field<Text>("instanceError", &ClapPlugin::instanceError),
                    Field<AudioPorts>("audioInputs", &ClapPlugin::audioInputs),
                    Field<AudioPorts>("audioOutputs", &ClapPlugin::audioOutputs),
                    Field<NotePorts>("noteInputs", &ClapPlugin::noteInputs),
                    Field<NotePorts>("noteOutputs", &ClapPlugin::noteOutputs),
                    Field<Int32>("parameters", &ClapPlugin::parameters),
                    Field<Int32>("latencySamples", &ClapPlugin::latencySamples),
                    Field<TextList>("extensions", &ClapPlugin::extensions));

constexpr auto kPluginMembers = std::tuple_cat(kDescriptorMembers, kInstanceMembers);

constexpr auto kFileMembers = std::make_tuple(Field<Text>("error", &ClapReport::error),
                                              Field<Text>("platform", &ClapReport::platform),
                                              Field<Text>("fileVersion", &ClapReport::fileVersion),
                                              Field<Text>("clapVersion", &ClapReport::clapVersion),
                                              Field<Flag>("instances", &ClapReport::instances));

constexpr auto kReportMembers =
    std::tuple_cat(kFileMembers, std::make_tuple(Field<ObjectList<ClapPlugin, kPluginMembers>>(
                                     "plugins", &ClapReport::plugins)));

}  // namespace

bool operator==(const ClapAudioPort& a, const ClapAudioPort& b) {
    return EqualMembers(a, b, kAudioPortMembers);
}

bool operator==(const ClapNotePort& a, const ClapNotePort& b) {
    return EqualMembers(a, b, kNotePortMembers);
}

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
    return ReadMembersAndNested(object, kDescriptorMembers, kInstanceKey, kInstanceMembers, plugin);
}

void WriteItemMembers(const ClapPlugin& plugin, ordered_json& object) {
    WriteMembersAndNested(plugin, kDescriptorMembers, kInstanceKey, kInstanceMembers, object);
}

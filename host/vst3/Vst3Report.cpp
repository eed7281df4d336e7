#include "host/vst3/Vst3Report.h"

#include "host/ReportJson.h"

using nlohmann::ordered_json;

namespace {

using namespace report_json;

constexpr char kInstanceKey[] = "instance";

constexpr auto kBusMembers = std::make_tuple(
    Field<Text>("name", &Vst3Bus::name), Field<Int32>("channels", &Vst3Bus::channels),
    Field<Flag>("main", &Vst3Bus::main), Field<Flag>("defaultActive", &Vst3Bus::defaultActive));

using Buses = ObjectList<Vst3Bus, kBusMembers>;

constexpr auto kDescriptionMembers = std::make_tuple(
    Field<Text>("cid", &Vst3Class::cid), Field<Text>("category", &Vst3Class::category),
    Field<Text>("name", &Vst3Class::name), Field<Text>("vendor", &Vst3Class::vendor),
    Field<Text>("version", &Vst3Class::version), Field<Text>("sdkVersion", &Vst3Class::sdkVersion),
    Field<Text>("subCategories", &Vst3Class::subCategories),
    Field<Int32>("cardinality", &Vst3Class::cardinality),
    Field<Uint32>("classFlags", &Vst3Class::classFlags));

constexpr auto kInstanceMembers =
    std::make_tuple(Field<Text>("instanceError", &Vst3Class::instanceError),
                    Field<Buses>("audioInputs", &Vst3Class::audioInputs),
                    Field<Buses>("audioOutputs", &Vst3Class::audioOutputs),
                    Field<Buses>("eventInputs", &Vst3Class::eventInputs),
                    Field<Buses>("eventOutputs", &Vst3Class::eventOutputs),
                    Field<Int32>("parameters", &Vst3Class::parameters),
                    Field<Int32>("latencySamples", &Vst3Class::latencySamples));

constexpr auto kClassMembers = std::tuple_cat(kDescriptionMembers, kInstanceMembers);

constexpr auto kModuleMembers = std::make_tuple(
    Field<Text>("error", &Vst3Report::error), Field<Text>("platform", &Vst3Report::platform),
    Field<Text>("fileVersion", &Vst3Report::fileVersion),
    Field<Text>("factoryVendor", &Vst3Report::factoryVendor),
    Field<Text>("factoryUrl", &Vst3Report::factoryUrl),
    Field<Text>("factoryEmail", &Vst3Report::factoryEmail),
    Field<Int32>("factoryFlags", &Vst3Report::factoryFlags),
    Field<Flag>("instances", &Vst3Report::instances));

constexpr auto kReportMembers = std::tuple_cat(
    kModuleMembers,
    std::make_tuple(Field<ObjectList<Vst3Class, kClassMembers>>("classes", &Vst3Report::classes)));

}  // namespace

bool operator==(const Vst3Bus& a, const Vst3Bus& b) {
    return EqualMembers(a, b, kBusMembers);
}

bool operator==(const Vst3Class& a, const Vst3Class& b) {
    return EqualMembers(a, b, kClassMembers);
}

bool operator==(const Vst3Report& a, const Vst3Report& b) {
    return EqualMembers(a, b, kReportMembers);
}

bool ReadReport(const ordered_json& object, Vst3Report& report) {
    return HasFormat(object, protocol::PluginFormat::kVst3) &&
           ReadMembers(object, kReportMembers, report);
}

bool ReadFileMembers(const ordered_json& object, Vst3Report& report) {
    return ReadMembers(object, kModuleMembers, report);
}

void WriteFileMembers(const Vst3Report& report, ordered_json& object) {
    WriteMembers(report, kModuleMembers, object);
}

bool ReadItemMembers(const ordered_json& object, Vst3Class& found) {
    return ReadMembersAndNested(object, kDescriptionMembers, kInstanceKey, kInstanceMembers, found);
}

void WriteItemMembers(const Vst3Class& found, ordered_json& object) {
    WriteMembersAndNested(found, kDescriptionMembers, kInstanceKey, kInstanceMembers, object);
}

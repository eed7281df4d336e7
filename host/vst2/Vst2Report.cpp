#include "host/vst2/Vst2Report.h"

#include "host/ReportJson.h"
#include "protocol/Protocol.h"

using nlohmann::ordered_json;

namespace {

using namespace report_json;

// The shells as one object: each id in hexadecimal names its sub-plugin.
struct ShellList {
    using Value = std::vector<ShellPlugin>;
    [[nodiscard]] static bool Read(const ordered_json& json, Value& shells) {
        if (!json.is_object()) return false;
        Value read;
        for (auto shell = json.begin(); shell != json.end(); ++shell) {
            ShellPlugin plugin;
            if (!ParseHexId(shell.key(), plugin.id) || !Text::Read(*shell, plugin.name)) {
                return false;
            }
            read.push_back(std::move(plugin));
        }
        shells = std::move(read);
        return true;
    }
    static ordered_json Write(const Value& shells) {
        ordered_json object = ordered_json::object();
        for (const ShellPlugin& shell : shells) object[FormatHexId(shell.id)] = shell.name;
        return object;
    }
};

bool IsShell(const Vst2Report& report) {
    return report.category == protocol::kShellCategory;
}

constexpr auto kMembers = std::make_tuple(
    Field<HexId>("id", &Vst2Report::id), Field<Text>("name", &Vst2Report::name),
    Field<Text>("vendor", &Vst2Report::vendor), Field<Text>("product", &Vst2Report::product),
    Field<Text>("version", &Vst2Report::version), Field<Text>("error", &Vst2Report::error),
    Field<Int32>("numInputs", &Vst2Report::numInputs),
    Field<Int32>("numOutputs", &Vst2Report::numOutputs),
    Field<Flag>("wantsMidi", &Vst2Report::wantsMidi),
    Field<Flag>("sendsMidi", &Vst2Report::sendsMidi),
    Field<Text>("platform", &Vst2Report::platform), Field<Flag>("audio64", &Vst2Report::audio64),
    Field<Int32>("category", &Vst2Report::category),
    Field<Flag>("synthEdit", &Vst2Report::synthEdit),
    Field<ShellList>("shells", &Vst2Report::shells, IsShell));

}  // namespace

bool operator==(const ShellPlugin& a, const ShellPlugin& b) {
    return a.id == b.id && a.name == b.name;
}

bool operator==(const Vst2Report& a, const Vst2Report& b) {
    return EqualMembers(a, b, kMembers);
}

bool ReadReport(const ordered_json& object, Vst2Report& report) {
    return ReadMembers(object, kMembers, report);
}

void WriteReportMembers(const Vst2Report& report, ordered_json& object) {
    WriteMembers(report, kMembers, object);
}

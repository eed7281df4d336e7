#include "host/Vst3Report.h"

#include "host/JsonMembers.h"
#include "host/PluginReport.h"
#include "protocol/PluginFormat.h"

using json_members::ReadInt32;
using json_members::ReadText;
using json_members::ReadUint32;
using nlohmann::ordered_json;

bool operator==(const Vst3Class& a, const Vst3Class& b) {
    return a.cid == b.cid && a.category == b.category && a.name == b.name && a.vendor == b.vendor &&
           a.version == b.version && a.sdkVersion == b.sdkVersion &&
           a.subCategories == b.subCategories && a.cardinality == b.cardinality &&
           a.classFlags == b.classFlags;
}

bool ReadVst3ModuleMembers(const ordered_json& object, Vst3Report& report) {
    return object.is_object() && ReadText(object, "error", report.error) &&
           ReadText(object, "platform", report.platform) &&
           ReadText(object, "fileVersion", report.fileVersion) &&
           ReadText(object, "factoryVendor", report.factoryVendor) &&
           ReadText(object, "factoryUrl", report.factoryUrl) &&
           ReadText(object, "factoryEmail", report.factoryEmail) &&
           ReadInt32(object, "factoryFlags", report.factoryFlags);
}

void WriteVst3ModuleMembers(const Vst3Report& report, ordered_json& object) {
    object["error"] = report.error;
    object["platform"] = report.platform;
    object["fileVersion"] = report.fileVersion;
    object["factoryVendor"] = report.factoryVendor;
    object["factoryUrl"] = report.factoryUrl;
    object["factoryEmail"] = report.factoryEmail;
    object["factoryFlags"] = report.factoryFlags;
}

bool ReadVst3ClassMembers(const ordered_json& object, Vst3Class& found) {
    return object.is_object() && ReadText(object, "cid", found.cid) &&
           ReadText(object, "category", found.category) && ReadText(object, "name", found.name) &&
           ReadText(object, "vendor", found.vendor) && ReadText(object, "version", found.version) &&
           ReadText(object, "sdkVersion", found.sdkVersion) &&
           ReadText(object, "subCategories", found.subCategories) &&
           ReadInt32(object, "cardinality", found.cardinality) &&
           ReadUint32(object, "classFlags", found.classFlags);
}

void WriteVst3ClassMembers(const Vst3Class& found, ordered_json& object) {
    object["cid"] = found.cid;
    object["category"] = found.category;
    object["name"] = found.name;
    object["vendor"] = found.vendor;
    object["version"] = found.version;
    object["sdkVersion"] = found.sdkVersion;
    object["subCategories"] = found.subCategories;
    object["cardinality"] = found.cardinality;
    object["classFlags"] = found.classFlags;
}

bool ReadVst3Report(const ordered_json& object, Vst3Report& report) {
    Vst3Report read;
    if (!json_members::HasFormat(object, protocol::PluginFormat::kVst3) ||
        !ReadVst3ModuleMembers(object, read) ||
        !json_members::ReadList(object, "classes", ReadVst3ClassMembers, read.classes)) {
        return false;
    }
    report = std::move(read);
    return true;
}

bool ParseVst3Report(const std::string& text, Vst3Report& report) {
    ordered_json parsed = ParseReportJson(text);
    return !parsed.is_discarded() && ReadVst3Report(parsed, report);
}

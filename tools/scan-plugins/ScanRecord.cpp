#include "tools/scan-plugins/ScanRecord.h"

#include <algorithm>

#include "host/Text.h"

using nlohmann::ordered_json;

namespace {

struct StatusText {
    ScanStatus status;
    const char* name;
    const char* words;
};

constexpr StatusText kStatusTexts[] = {
    {ScanStatus::kOk, "ok", "ok"},
    {ScanStatus::kError, "error", "error"},
    {ScanStatus::kUnsupported, "unsupported", "unsupported"},
    {ScanStatus::kCrashed, "crashed", "crashed"},
    {ScanStatus::kTimedOut, "timedOut", "timed out"},
    {ScanStatus::kServerFailed, "serverFailed", "server failed"},
};

bool StatusFromName(const std::string& name, ScanStatus& status) {
    for (const StatusText& text : kStatusTexts) {
        if (name == text.name) {
            status = text.status;
            return true;
        }
    }
    return false;
}

bool ReadOptionalText(const ordered_json& object, const char* key, std::string& text) {
    auto member = object.find(key);
    if (member == object.end()) return true;
    if (!member->is_string()) return false;
    text = member->get_ref<const std::string&>();
    return true;
}

bool ReadOptionalPath(const ordered_json& object, const char* key, std::wstring& path) {
    std::string text;
    if (!ReadOptionalText(object, key, text)) return false;
    path = WideFromUtf8(text);
    return true;
}

bool ReadStatus(const ordered_json& object, ScanStatus& status) {
    std::string text;
    return ReadOptionalText(object, "status", text) && StatusFromName(text, status);
}

void WriteServerEnd(const ServerEnd& end, ordered_json& object) {
    if (end.exitCode) object["exitCode"] = *end.exitCode;
    if (!end.dumpPath.empty()) object["dump"] = Utf8FromWide(end.dumpPath);
    if (!end.faultModule.empty()) object["faultModule"] = Utf8FromWide(end.faultModule);
}

bool ReadServerEnd(const ordered_json& object, ServerEnd& end) {
    auto exitCode = object.find("exitCode");
    if (exitCode != object.end()) {
        if (!exitCode->is_number_unsigned() || exitCode->get<uint64_t>() > UINT32_MAX) return false;
        end.exitCode = exitCode->get<uint32_t>();
    }
    return ReadOptionalPath(object, "dump", end.dumpPath) &&
           ReadOptionalPath(object, "faultModule", end.faultModule);
}

ordered_json UnconfirmedToJson(const UnconfirmedFailure& failure) {
    ordered_json object = ordered_json::object();
    object["status"] = StatusName(failure.status);
    object["error"] = failure.error;
    WriteServerEnd(failure.end, object);
    return object;
}

bool UnconfirmedFromJson(const ordered_json& object, UnconfirmedFailure& failure) {
    return object.is_object() && ReadStatus(object, failure.status) &&
           ReadOptionalText(object, "error", failure.error) && ReadServerEnd(object, failure.end);
}

bool ReadWarnings(const ordered_json& object, std::vector<std::string>& warnings) {
    auto member = object.find("warnings");
    if (member == object.end()) return true;
    if (!member->is_array()) return false;
    for (const ordered_json& warning : *member) {
        if (!warning.is_string()) return false;
        warnings.push_back(warning.get<std::string>());
    }
    return true;
}

// A CLAP record stands for one plugin: the plugin's members, then the file's.
void WriteClapRecordMembers(const ClapReport& report, ordered_json& object) {
    if (!report.plugins.empty()) WriteClapPluginMembers(report.plugins.front(), object);
    WriteClapFileMembers(report, object);
}

// A CLAP or VST3 record has the members of its file and, unless the file
// gave none, those of its one item (told by the item's first member).
template <typename Report, typename Item>
bool ReadItemRecordMembers(const ordered_json& object, const char* firstItemMember,
                           bool (*readFile)(const ordered_json&, Report&),
                           bool (*readItem)(const ordered_json&, Item&),
                           std::vector<Item> Report::*items, Report& report) {
    Report read;
    if (!readFile(object, read)) return false;
    if (object.contains(firstItemMember)) {
        Item item;
        if (!readItem(object, item)) return false;
        (read.*items).push_back(std::move(item));
    }
    report = std::move(read);
    return true;
}

// The sub-categories as a list too: "Fx|Delay" gives ["Fx", "Delay"].
ordered_json SubCategoryList(const std::string& subCategories) {
    ordered_json list = ordered_json::array();
    for (size_t start = 0; start < subCategories.size();) {
        size_t end = std::min(subCategories.find('|', start), subCategories.size());
        list.push_back(subCategories.substr(start, end - start));
        start = end + 1;
    }
    return list;
}

// A VST3 record stands for one class: the class's members, then the module's.
void WriteVst3RecordMembers(const Vst3Report& report, ordered_json& object) {
    if (!report.classes.empty()) {
        WriteVst3ClassMembers(report.classes.front(), object);
        object["subCategoryList"] = SubCategoryList(report.classes.front().subCategories);
    }
    WriteVst3ModuleMembers(report, object);
}

}  // namespace

const char* StatusName(ScanStatus status) {
    for (const StatusText& text : kStatusTexts) {
        if (text.status == status) return text.name;
    }
    return "";
}

const char* StatusWords(ScanStatus status) {
    for (const StatusText& text : kStatusTexts) {
        if (text.status == status) return text.words;
    }
    return "";
}

bool IsFailure(ScanStatus status) {
    return status == ScanStatus::kCrashed || status == ScanStatus::kTimedOut ||
           status == ScanStatus::kServerFailed;
}

ordered_json RecordToJson(const ScanRecord& record) {
    ordered_json object = ordered_json::object();
    object["path"] = Utf8FromWide(record.path);
    object["format"] = protocol::FormatName(record.format);
    if (record.isSubPlugin) object["shellId"] = FormatHexId(record.shellId);
    object["status"] = StatusName(record.status);
    if (record.hasReport && record.format == protocol::PluginFormat::kClap) {
        WriteClapRecordMembers(record.clapReport, object);
    } else if (record.hasReport && record.format == protocol::PluginFormat::kVst3) {
        WriteVst3RecordMembers(record.vst3Report, object);
    } else if (record.hasReport) {
        WriteReportMembers(record.report, object);
    } else {
        object["error"] = record.error;
    }
    WriteServerEnd(record.end, object);
    object["warnings"] = record.warnings;
    if (record.unconfirmed) object["unconfirmed"] = UnconfirmedToJson(*record.unconfirmed);
    object["seconds"] = record.seconds;
    return object;
}

bool RecordFromJson(const ordered_json& object, ScanRecord& record) {
    if (!object.is_object()) return false;
    ScanRecord read;
    std::string text;
    if (!ReadOptionalText(object, "path", text) || text.empty()) return false;
    read.path = WideFromUtf8(text);
    text.clear();
    if (!ReadOptionalText(object, "format", text) ||
        !protocol::FormatFromName(text.c_str(), read.format)) {
        return false;
    }
    text.clear();
    if (!ReadOptionalText(object, "shellId", text)) return false;
    if (!text.empty()) {
        if (!ParseHexId(text, read.shellId)) return false;
        read.isSubPlugin = true;
    }
    if (!ReadStatus(object, read.status)) return false;
    // Only a record with a report has its platform.
    read.hasReport = object.contains("platform");
    if (read.hasReport && read.format == protocol::PluginFormat::kClap) {
        if (!ReadItemRecordMembers(object, "id", ReadClapFileMembers, ReadClapPluginMembers,
                                   &ClapReport::plugins, read.clapReport)) {
            return false;
        }
        read.error = read.clapReport.error;
    } else if (read.hasReport && read.format == protocol::PluginFormat::kVst3) {
        if (!ReadItemRecordMembers(object, "cid", ReadVst3ModuleMembers, ReadVst3ClassMembers,
                                   &Vst3Report::classes, read.vst3Report)) {
            return false;
        }
        read.error = read.vst3Report.error;
    } else if (read.hasReport) {
        if (!ReadReportMembers(object, read.report)) return false;
        read.error = read.report.error;
    } else if (!ReadOptionalText(object, "error", read.error)) {
        return false;
    }
    if (!ReadServerEnd(object, read.end) || !ReadWarnings(object, read.warnings)) return false;
    auto unconfirmed = object.find("unconfirmed");
    if (unconfirmed != object.end() &&
        !UnconfirmedFromJson(*unconfirmed, read.unconfirmed.emplace())) {
        return false;
    }
    auto seconds = object.find("seconds");
    if (seconds == object.end() || !seconds->is_number() || seconds->get<double>() < 0) {
        return false;
    }
    read.seconds = seconds->get<double>();
    record = std::move(read);
    return true;
}

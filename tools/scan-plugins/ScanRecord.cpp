#include "tools/scan-plugins/ScanRecord.h"

#include "host/ReportJson.h"
#include "host/WideText.h"
#include "tools/scan-plugins/FormatRecords.h"
#include "tools/scan-plugins/ModuleInfo.h"

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
    if (!end.blame.empty()) object["blame"] = end.blame;
}

bool ReadServerEnd(const ordered_json& object, ServerEnd& end) {
    auto exitCode = object.find("exitCode");
    if (exitCode != object.end()) {
        if (!exitCode->is_number_unsigned() || exitCode->get<uint64_t>() > UINT32_MAX) return false;
        end.exitCode = exitCode->get<uint32_t>();
    }
    return ReadOptionalPath(object, "dump", end.dumpPath) &&
           ReadOptionalPath(object, "faultModule", end.faultModule) &&
           ReadOptionalText(object, "blame", end.blame);
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

// A list of texts, such as the warnings.
bool ReadTextList(const ordered_json& object, const char* key, std::vector<std::string>& texts) {
    auto member = object.find(key);
    if (member == object.end()) return true;
    if (!member->is_array()) return false;
    for (const ordered_json& text : *member) {
        if (!text.is_string()) return false;
        texts.push_back(text.get<std::string>());
    }
    return true;
}

bool ReadWarningsLeftOut(const ordered_json& object, size_t& count) {
    auto member = object.find("warningsLeftOut");
    if (member == object.end()) return true;
    if (!member->is_number_unsigned()) return false;
    count = member->get<size_t>();
    return true;
}

bool ReadLateFaults(const ordered_json& object, std::vector<std::wstring>& requests) {
    std::vector<std::string> texts;
    if (!ReadTextList(object, "lateFaults", texts)) return false;
    for (const std::string& text : texts) {
        if (text.empty()) return false;
        requests.push_back(WideFromUtf8(text));
    }
    return true;
}

void WriteVst2Id(uint32_t id, ordered_json& object) {
    object["vst2Id"] = id;
    object["vst2IdText"] = Vst2IdText(id);
}

void WriteReplacements(const ScanRecord& record, ordered_json& object) {
    if (!record.replaces.empty()) {
        ordered_json list = ordered_json::array();
        for (const Replacement& replaced : record.replaces) {
            ordered_json entry = ordered_json::object();
            entry["cid"] = replaced.cid;
            if (replaced.vst2Id) WriteVst2Id(*replaced.vst2Id, entry);
            list.push_back(std::move(entry));
        }
        object["replaces"] = std::move(list);
    }
    if (record.vst2Id) WriteVst2Id(*record.vst2Id, object);
    if (record.replacedBy) {
        ordered_json by = ordered_json::object();
        by["path"] = Utf8FromWide(record.replacedBy->path);
        by["cid"] = record.replacedBy->cid;
        object["replacedBy"] = std::move(by);
    }
}

bool ReadReplacements(const ordered_json& object, std::vector<Replacement>& replaces) {
    auto member = object.find("replaces");
    if (member == object.end()) return true;
    if (!member->is_array()) return false;
    for (const ordered_json& entry : *member) {
        Replacement replaced;
        if (!entry.is_object() || !ReadOptionalText(entry, "cid", replaced.cid)) return false;
        auto id = entry.find("vst2Id");
        if (id != entry.end()) {
            if (!id->is_number_unsigned() || id->get<uint64_t>() > UINT32_MAX) return false;
            replaced.vst2Id = id->get<uint32_t>();
        }
        replaces.push_back(std::move(replaced));
    }
    return true;
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

bool HasWarnings(const ScanRecord& record) {
    return !record.warnings.empty() || !record.fileWarnings.empty() || record.warningsLeftOut > 0;
}

ordered_json RecordToJson(const ScanRecord& record) {
    ordered_json object = ordered_json::object();
    object["path"] = Utf8FromWide(record.path);
    object["format"] = protocol::FormatName(record.format);
    if (record.isSubPlugin) object["shellId"] = FormatHexId(record.shellId);
    object["status"] = StatusName(record.status);
    if (!record.source.empty()) object["source"] = record.source;
    if (record.report) {
        WriteRecordReport(*record.report, object);
    } else {
        object["error"] = record.error;
    }
    WriteReplacements(record, object);
    WriteServerEnd(record.end, object);
    object["warnings"] = record.warnings;
    if (!record.fileWarnings.empty()) object["fileWarnings"] = record.fileWarnings;
    if (record.warningsLeftOut > 0) object["warningsLeftOut"] = record.warningsLeftOut;
    if (!record.lateFaults.empty()) {
        ordered_json requests = ordered_json::array();
        for (const std::wstring& request : record.lateFaults)
            requests.push_back(Utf8FromWide(request));
        object["lateFaults"] = std::move(requests);
    }
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
    if (!ReadStatus(object, read.status) || !ReadOptionalText(object, "source", read.source) ||
        !ReadReplacements(object, read.replaces)) {
        return false;
    }
    // Only a record with a report has its platform.
    if (object.contains("platform")) {
        read.report = ReportOfFormat(read.format);
        if (!ReadRecordReport(object, *read.report)) return false;
        read.error = ReportError(*read.report);
    } else if (!ReadOptionalText(object, "error", read.error)) {
        return false;
    }
    if (!ReadServerEnd(object, read.end) || !ReadTextList(object, "warnings", read.warnings) ||
        !ReadTextList(object, "fileWarnings", read.fileWarnings) ||
        !ReadWarningsLeftOut(object, read.warningsLeftOut) ||
        !ReadLateFaults(object, read.lateFaults)) {
        return false;
    }
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

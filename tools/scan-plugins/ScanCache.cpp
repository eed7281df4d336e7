#include "tools/scan-plugins/ScanCache.h"

#include "host/WideText.h"

using nlohmann::ordered_json;

namespace {

constexpr char kFormat[] = "scan-plugins cache";
// Version 2: every record names its format. Version 3: a .vst3 file or
// bundle is a VST3 module (a bundle stamped by its module file), no longer a
// VST 2 library. Version 4: records carry what a host places a plugin by, and
// a CLAP plugin's or VST3 class's instance members.
constexpr int kVersion = 4;

bool ReadUnsigned(const ordered_json& object, const char* key, uint64_t& number) {
    auto member = object.find(key);
    if (member == object.end() || !member->is_number_unsigned()) return false;
    number = member->get<uint64_t>();
    return true;
}

}  // namespace

bool EntryFromJson(const ordered_json& object, CacheEntry& entry) {
    if (!object.is_object()) return false;
    auto path = object.find("path");
    auto records = object.find("records");
    if (path == object.end() || !path->is_string() || records == object.end() ||
        !records->is_array() || records->empty() ||
        !ReadUnsigned(object, "size", entry.stamp.size) ||
        !ReadUnsigned(object, "lastWrite", entry.stamp.lastWrite)) {
        return false;
    }
    entry.path = WideFromUtf8(path->get_ref<const std::string&>());
    for (const ordered_json& each : *records) {
        ScanRecord record;
        if (!RecordFromJson(each, record)) return false;
        entry.records.push_back(std::move(record));
    }
    return true;
}

ordered_json EntryToJson(const CacheEntry& entry) {
    ordered_json records = ordered_json::array();
    for (const ScanRecord& record : entry.records) records.push_back(RecordToJson(record));
    ordered_json object = ordered_json::object();
    object["path"] = Utf8FromWide(entry.path);
    object["size"] = entry.stamp.size;
    object["lastWrite"] = entry.stamp.lastWrite;
    object["records"] = std::move(records);
    return object;
}

LoadedCache CacheFromText(const std::string& text) {
    LoadedCache cache;
    cache.state = CacheState::kCorrupt;
    ordered_json document = ordered_json::parse(text, nullptr, false);
    if (document.is_discarded()) {
        cache.problem = "it is not valid JSON";
        return cache;
    }
    auto format = document.is_object() ? document.find("format") : document.end();
    auto version = document.is_object() ? document.find("version") : document.end();
    auto plugins = document.is_object() ? document.find("plugins") : document.end();
    if (format == document.end() || *format != kFormat || version == document.end() ||
        *version != kVersion || plugins == document.end() || !plugins->is_array()) {
        cache.problem = "it is not a scan-plugins cache of version " + std::to_string(kVersion);
        return cache;
    }
    for (size_t at = 0; at < plugins->size(); ++at) {
        CacheEntry entry;
        if (!EntryFromJson((*plugins)[at], entry)) {
            cache.entries.clear();
            cache.problem = "its entry " + std::to_string(at + 1) + " is malformed";
            return cache;
        }
        cache.entries.push_back(std::move(entry));
    }
    cache.state = CacheState::kLoaded;
    return cache;
}

std::string CacheToText(const std::vector<CacheEntry>& entries) {
    ordered_json plugins = ordered_json::array();
    for (const CacheEntry& entry : entries) plugins.push_back(EntryToJson(entry));
    ordered_json document = ordered_json::object();
    document["format"] = kFormat;
    document["version"] = kVersion;
    document["plugins"] = std::move(plugins);
    return document.dump(1, '\t', false, ordered_json::error_handler_t::replace) + "\n";
}

std::vector<CacheEntry> JournalEntries(const std::string& text) {
    std::vector<CacheEntry> entries;
    // Only whole lines count: a line without its line feed was cut off.
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1) {
        ordered_json line = ordered_json::parse(text.substr(start, end - start), nullptr, false);
        CacheEntry entry;
        if (!line.is_discarded() && EntryFromJson(line, entry)) entries.push_back(std::move(entry));
    }
    return entries;
}

#include "host/ReportJson.h"

#include <charconv>
#include <cstdio>
#include <limits>

using nlohmann::ordered_json;

namespace {

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

ordered_json ParseReportJson(const std::string& text) {
    return ordered_json::parse(RemoveTrailingCommas(text), nullptr, false);
}

// Eight digits at most cannot overflow, and an unsigned parse takes no sign.
bool ParseHexId(const std::string& text, uint32_t& id) {
    if (text.empty() || text.size() > 8) return false;
    const char* end = text.data() + text.size();
    uint32_t value = 0;
    std::from_chars_result parsed = std::from_chars(text.data(), end, value, 16);
    if (parsed.ec != std::errc() || parsed.ptr != end) return false;
    id = value;
    return true;
}

std::string FormatHexId(uint32_t id) {
    char text[9];
    std::snprintf(text, sizeof(text), "%.8X", static_cast<unsigned>(id));
    return text;
}

namespace report_json {

bool Text::Read(const ordered_json& json, Value& value) {
    if (!json.is_string()) return false;
    value = json.get_ref<const std::string&>();
    return true;
}

bool Flag::Read(const ordered_json& json, Value& value) {
    if (!json.is_boolean()) return false;
    value = json.get<bool>();
    return true;
}

bool Int32::Read(const ordered_json& json, Value& value) {
    if (!json.is_number_integer()) return false;
    if (json.is_number_unsigned()) {
        uint64_t number = json.get<uint64_t>();
        if (number > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) return false;
        value = static_cast<int32_t>(number);
        return true;
    }
    int64_t number = json.get<int64_t>();
    if (number < std::numeric_limits<int32_t>::min() ||
        number > std::numeric_limits<int32_t>::max()) {
        return false;
    }
    value = static_cast<int32_t>(number);
    return true;
}

bool Uint32::Read(const ordered_json& json, Value& value) {
    if (!json.is_number_unsigned()) return false;
    uint64_t number = json.get<uint64_t>();
    if (number > std::numeric_limits<uint32_t>::max()) return false;
    value = static_cast<uint32_t>(number);
    return true;
}

bool HexId::Read(const ordered_json& json, Value& value) {
    return json.is_string() && ParseHexId(json.get_ref<const std::string&>(), value);
}

bool TextList::Read(const ordered_json& json, Value& value) {
    if (!json.is_array()) return false;
    Value read;
    for (const ordered_json& each : json) {
        if (!each.is_string()) return false;
        read.push_back(each.get_ref<const std::string&>());
    }
    value = std::move(read);
    return true;
}

bool HasFormat(const ordered_json& object, protocol::PluginFormat format) {
    std::string name;
    auto member = object.find("format");
    return member != object.end() && Text::Read(*member, name) &&
           name == protocol::FormatName(format);
}

}  // namespace report_json

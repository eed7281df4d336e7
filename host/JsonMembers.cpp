#include "host/JsonMembers.h"

#include <limits>

using nlohmann::ordered_json;

namespace json_members {

bool ReadText(const ordered_json& object, const char* key, std::string& text) {
    auto member = object.find(key);
    if (member == object.end() || !member->is_string()) return false;
    text = member->get_ref<const std::string&>();
    return true;
}

bool ReadInt32(const ordered_json& object, const char* key, int32_t& number) {
    auto member = object.find(key);
    if (member == object.end() || !member->is_number_integer()) return false;
    if (member->is_number_unsigned()) {
        uint64_t value = member->get<uint64_t>();
        if (value > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) return false;
        number = static_cast<int32_t>(value);
        return true;
    }
    int64_t value = member->get<int64_t>();
    if (value < std::numeric_limits<int32_t>::min() ||
        value > std::numeric_limits<int32_t>::max()) {
        return false;
    }
    number = static_cast<int32_t>(value);
    return true;
}

bool ReadUint32(const ordered_json& object, const char* key, uint32_t& number) {
    auto member = object.find(key);
    if (member == object.end() || !member->is_number_unsigned()) return false;
    uint64_t value = member->get<uint64_t>();
    if (value > std::numeric_limits<uint32_t>::max()) return false;
    number = static_cast<uint32_t>(value);
    return true;
}

bool HasFormat(const ordered_json& object, protocol::PluginFormat format) {
    std::string name;
    return ReadText(object, "format", name) && name == protocol::FormatName(format);
}

}  // namespace json_members

// Reading the members of the report objects and records: each is found and
// its type checked, so that a member that is missing or of another type
// fails the reading instead of ending the program.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "protocol/PluginFormat.h"

namespace json_members {

[[nodiscard]] bool ReadText(const nlohmann::ordered_json& object, const char* key,
                            std::string& text);
[[nodiscard]] bool ReadInt32(const nlohmann::ordered_json& object, const char* key,
                             int32_t& number);
[[nodiscard]] bool ReadUint32(const nlohmann::ordered_json& object, const char* key,
                              uint32_t& number);
// Whether the object's "format" member names this format.
[[nodiscard]] bool HasFormat(const nlohmann::ordered_json& object, protocol::PluginFormat format);

// The array under `key`, each element read by readItem; false when any is malformed.
template <typename Item>
[[nodiscard]] bool ReadList(const nlohmann::ordered_json& object, const char* key,
                            bool (*readItem)(const nlohmann::ordered_json&, Item&),
                            std::vector<Item>& items) {
    auto member = object.find(key);
    if (member == object.end() || !member->is_array()) return false;
    std::vector<Item> read;
    for (const nlohmann::ordered_json& each : *member) {
        Item item;
        if (!readItem(each, item)) return false;
        read.push_back(std::move(item));
    }
    items = std::move(read);
    return true;
}

}  // namespace json_members

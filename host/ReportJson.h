// What every report reader shares: the report's text as JSON, hexadecimal
// ids, and tables of members. A report struct's members are listed once, in
// a table of {JSON key, member, how its value stands in JSON}, and that table
// drives reading, writing and comparing. Each member is found and its type
// checked, so that one that is missing or of another type fails the reading
// instead of ending the program.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <tuple>
#include <vector>

#include "protocol/PluginFormat.h"

// A report's text as JSON, the commas the server writes before every closing
// brace or bracket accepted; discarded when the text is no JSON.
nlohmann::ordered_json ParseReportJson(const std::string& text);

// Plugin and shell ids: one to eight hexadecimal digits on reading, always
// eight upper-case digits on writing.
[[nodiscard]] bool ParseHexId(const std::string& text, uint32_t& id);
std::string FormatHexId(uint32_t id);

// The report as the server writes it, without the channel names; Report is
// one of the formats' reports, each read by its own ReadReport.
template <typename Report>
[[nodiscard]] bool ParseReport(const std::string& text, Report& report) {
    nlohmann::ordered_json parsed = ParseReportJson(text);
    return !parsed.is_discarded() && ReadReport(parsed, report);
}

namespace report_json {

using nlohmann::ordered_json;

// How one kind of value stands in JSON: Read checks the type and range.
struct Text {
    using Value = std::string;
    [[nodiscard]] static bool Read(const ordered_json& json, Value& value);
    static ordered_json Write(const Value& value) { return value; }
};

struct Flag {
    using Value = bool;
    [[nodiscard]] static bool Read(const ordered_json& json, Value& value);
    static ordered_json Write(Value value) { return value; }
};

struct Int32 {
    using Value = int32_t;
    [[nodiscard]] static bool Read(const ordered_json& json, Value& value);
    static ordered_json Write(Value value) { return value; }
};

struct Uint32 {
    using Value = uint32_t;
    [[nodiscard]] static bool Read(const ordered_json& json, Value& value);
    static ordered_json Write(Value value) { return value; }
};

// A number written as its eight hexadecimal digits.
struct HexId {
    using Value = uint32_t;
    [[nodiscard]] static bool Read(const ordered_json& json, Value& value);
    static ordered_json Write(Value value) { return FormatHexId(value); }
};

struct TextList {
    using Value = std::vector<std::string>;
    [[nodiscard]] static bool Read(const ordered_json& json, Value& value);
    static ordered_json Write(const Value& value) { return value; }
};

// One row of a table. `present`, when given, says whether the member stands
// in the object at all, judged by the members before it.
template <typename Struct, typename Codec>
struct Member {
    const char* key;
    typename Codec::Value Struct::*field;
    bool (*present)(const Struct&);
};

template <typename Codec, typename Struct>
constexpr Member<Struct, Codec> Field(const char* key, typename Codec::Value Struct::*field,
                                      bool (*present)(const Struct&) = nullptr) {
    return {key, field, present};
}

template <typename Struct, typename Codec>
bool ReadMember(const ordered_json& object, const Member<Struct, Codec>& row, Struct& read) {
    if (row.present != nullptr && !row.present(read)) return true;
    auto member = object.find(row.key);
    return member != object.end() && Codec::Read(*member, read.*row.field);
}

template <typename Struct, typename Codec>
void WriteMember(const Struct& written, const Member<Struct, Codec>& row, ordered_json& object) {
    if (row.present != nullptr && !row.present(written)) return;
    object[row.key] = Codec::Write(written.*row.field);
}

// Every member of the table, in its order; `read` is left as it was unless all are there.
template <typename Struct, typename... Rows>
[[nodiscard]] bool ReadMembers(const ordered_json& object, const std::tuple<Rows...>& table,
                               Struct& read) {
    if (!object.is_object()) return false;
    Struct members = read;
    bool complete = std::apply(
        [&](const Rows&... row) { return (ReadMember(object, row, members) && ...); }, table);
    if (complete) read = std::move(members);
    return complete;
}

template <typename Struct, typename... Rows>
void WriteMembers(const Struct& written, const std::tuple<Rows...>& table, ordered_json& object) {
    std::apply([&](const Rows&... row) { (WriteMember(written, row, object), ...); }, table);
}

// The first table's members side by side in `object`, the second's in an
// object of their own under `key`: how a record keeps apart members whose
// names it gives to others.
template <typename Struct, typename Table, typename NestedTable>
[[nodiscard]] bool ReadMembersAndNested(const ordered_json& object, const Table& table,
                                        const char* key, const NestedTable& nestedTable,
                                        Struct& read) {
    Struct members = read;
    auto nested = object.find(key);
    if (nested == object.end() || !ReadMembers(object, table, members) ||
        !ReadMembers(*nested, nestedTable, members)) {
        return false;
    }
    read = std::move(members);
    return true;
}

template <typename Struct, typename Table, typename NestedTable>
void WriteMembersAndNested(const Struct& written, const Table& table, const char* key,
                           const NestedTable& nestedTable, ordered_json& object) {
    WriteMembers(written, table, object);
    ordered_json nested = ordered_json::object();
    WriteMembers(written, nestedTable, nested);
    object[key] = std::move(nested);
}

template <typename Struct, typename... Rows>
bool EqualMembers(const Struct& a, const Struct& b, const std::tuple<Rows...>& table) {
    return std::apply([&](const Rows&... row) { return ((a.*row.field == b.*row.field) && ...); },
                      table);
}

// An array of objects, each read with the item's table.
template <typename Item, const auto& kItemMembers>
struct ObjectList {
    using Value = std::vector<Item>;
    [[nodiscard]] static bool Read(const ordered_json& json, Value& value) {
        if (!json.is_array()) return false;
        Value read(json.size());
        for (size_t at = 0; at < read.size(); ++at) {
            if (!ReadMembers(json[at], kItemMembers, read[at])) return false;
        }
        value = std::move(read);
        return true;
    }
    static ordered_json Write(const Value& value) {
        ordered_json list = ordered_json::array();
        for (const Item& item : value) {
            ordered_json object = ordered_json::object();
            WriteMembers(item, kItemMembers, object);
            list.push_back(std::move(object));
        }
        return list;
    }
};

// Whether the object's "format" member names this format.
[[nodiscard]] bool HasFormat(const ordered_json& object, protocol::PluginFormat format);

}  // namespace report_json

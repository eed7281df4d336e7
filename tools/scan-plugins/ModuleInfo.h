// A VST3 bundle's moduleinfo.json, the bundle's own description of its
// classes and of the older class ids each replaces: read from its text,
// which the plugin maker wrote and is untrusted. The text is JSON5 as the
// makers' tool writes it: a comma after every member, comments, single
// quotes, unquoted keys, hex numbers, and `"` inside strings not escaped.
// Nothing here depends on Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Texts longer than this are not read.
constexpr size_t kModuleInfoLimit = 1 << 20;

struct ModuleInfoClass {
    std::string cid;  // as written: 32 hexadecimal digits
    std::string category;
    std::string name;
    std::string vendor;
    std::string version;
    std::string sdkVersion;
    std::string subCategories;  // separated by "|"
    uint32_t classFlags = 0;
    int32_t cardinality = 0;
};

// A class id and the older class ids it replaces.
struct ModuleInfoCompatibility {
    std::string newCid;
    std::vector<std::string> oldCids;
};

struct ModuleInfo {
    std::string name;
    std::string version;
    std::string factoryVendor;
    std::string factoryUrl;
    std::string factoryEmail;
    std::vector<ModuleInfoClass> classes;
    std::vector<ModuleInfoCompatibility> compatibility;
};

// False with the reason when the text is no moduleinfo that can be read.
[[nodiscard]] bool ParseModuleInfo(const std::string& text, ModuleInfo& info, std::string& problem);

// The VST 2 id a class id derived from a VST 2 plugin carries: "565354", the
// id in 8 hexadecimal digits, then the plugin name's first bytes. The id is
// matched in the order written and with the byte order of Windows memory.
[[nodiscard]] bool Vst2IdOfClassId(const std::string& cid, uint32_t& vst2Id);
// The other of the two orders a class id is written in: its string form, or
// the hexadecimal of its 16 bytes in Windows memory.
std::string OtherClassIdOrder(const std::string& cid);
// A VST 2 id as its four characters in quotes, e.g. 'AbCd'; a byte that is no
// printable ASCII as \xNN.
std::string Vst2IdText(uint32_t id);

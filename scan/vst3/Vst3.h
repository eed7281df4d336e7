// The parts of the VST3 module interface this server speaks, declared from
// the published 64-bit binary layout: the module's exports, the COM-style
// plugin factory in its three versions and the records it fills. Names are
// spelled as that interface spells them. x64 has one calling convention, so
// none is named.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vst3 {

// Results are COM-style.
using tresult = int32_t;
constexpr tresult kResultOk = 0;
constexpr tresult kResultFalse = 1;
constexpr tresult kNotImplemented = static_cast<tresult>(0x80004001u);
constexpr tresult kNoInterface = static_cast<tresult>(0x80004002u);

// An interface id as it lies in memory.
struct TUID {
    char bytes[16];
};

// From the four 32-bit words an id is written as: the first word
// little-endian, the second word's high and low halves each little-endian,
// the last two words big-endian.
constexpr TUID MakeTUID(uint32_t l1, uint32_t l2, uint32_t l3, uint32_t l4) {
    auto byte = [](uint32_t word, int shift) { return static_cast<char>((word >> shift) & 0xFF); };
    return {{byte(l1, 0), byte(l1, 8), byte(l1, 16), byte(l1, 24), byte(l2, 16), byte(l2, 24),
             byte(l2, 0), byte(l2, 8), byte(l3, 24), byte(l3, 16), byte(l3, 8), byte(l3, 0),
             byte(l4, 24), byte(l4, 16), byte(l4, 8), byte(l4, 0)}};
}

constexpr TUID FUnknown_iid = MakeTUID(0x00000000, 0x00000000, 0xC0000000, 0x00000046);
constexpr TUID IPluginFactory_iid = MakeTUID(0x7A4D811C, 0x52114A1F, 0xAED9D2EE, 0x0B43BF9F);
constexpr TUID IPluginFactory2_iid = MakeTUID(0x0007B650, 0xF24B4C0B, 0xA464EDB9, 0xF00B2ABB);
constexpr TUID IPluginFactory3_iid = MakeTUID(0x4555A2AB, 0xC1234E57, 0x9B122910, 0x36878931);

constexpr bool SameTUID(const TUID& a, const TUID& b) {
    for (int at = 0; at < 16; ++at) {
        if (a.bytes[at] != b.bytes[at]) return false;
    }
    return true;
}

static_assert(SameTUID(IPluginFactory2_iid,
                       TUID{{'\x50', '\xB6', '\x07', '\x00', '\x4B', '\xF2', '\x0B', '\x4C', '\xA4',
                             '\x64', '\xED', '\xB9', '\xF0', '\x0B', '\x2A', '\xBB'}}),
              "interface ids are laid out COM-style");

// Texts in char arrays are UTF-8, in char16_t arrays UTF-16; neither needs a terminator.
struct PFactoryInfo {
    char vendor[64];
    char url[256];
    char email[128];
    int32_t flags;
};

struct PClassInfo {
    char cid[16];
    int32_t cardinality;
    char category[32];
    char name[64];
};

struct PClassInfo2 {
    char cid[16];
    int32_t cardinality;
    char category[32];
    char name[64];
    uint32_t classFlags;
    char subCategories[128];
    char vendor[64];
    char version[64];
    char sdkVersion[64];
};

struct PClassInfoW {
    char cid[16];
    int32_t cardinality;
    char category[32];
    char16_t name[64];
    uint32_t classFlags;
    char subCategories[128];
    char16_t vendor[64];
    char16_t version[64];
    char16_t sdkVersion[64];
};

static_assert(sizeof(PFactoryInfo) == 452, "PFactoryInfo size");
static_assert(sizeof(PClassInfo) == 116, "PClassInfo size");
static_assert(sizeof(PClassInfo2) == 440, "PClassInfo2 size");
static_assert(sizeof(PClassInfoW) == 696, "PClassInfoW size");
static_assert(offsetof(PClassInfoW, classFlags) == 180, "PClassInfoW classFlags offset");

// Every object's first member points to its table of functions; a table
// begins with the table of the interface it extends. `self` is the object.
struct FUnknownVtbl {
    tresult (*queryInterface)(void* self, const char* iid, void** object);
    // Counts mean nothing to a scan: some factories always answer 1000.
    uint32_t (*addRef)(void* self);
    uint32_t (*release)(void* self);
};

struct IPluginFactoryVtbl : FUnknownVtbl {
    tresult (*getFactoryInfo)(void* self, PFactoryInfo* info);
    int32_t (*countClasses)(void* self);
    tresult (*getClassInfo)(void* self, int32_t index, PClassInfo* info);
    // Creates an instance; the scan never calls it.
    tresult (*createInstance)(void* self, const char* cid, const char* iid, void** object);
};

struct IPluginFactory2Vtbl : IPluginFactoryVtbl {
    tresult (*getClassInfo2)(void* self, int32_t index, PClassInfo2* info);
};

struct IPluginFactory3Vtbl : IPluginFactory2Vtbl {
    tresult (*getClassInfoUnicode)(void* self, int32_t index, PClassInfoW* info);
    tresult (*setHostContext)(void* self, void* context);
};

static_assert(sizeof(IPluginFactoryVtbl) == 7 * sizeof(void*), "IPluginFactory table size");
static_assert(sizeof(IPluginFactory3Vtbl) == 10 * sizeof(void*), "IPluginFactory3 table size");

struct IPluginFactory {
    const IPluginFactoryVtbl* vtbl;
};
struct IPluginFactory2 {
    const IPluginFactory2Vtbl* vtbl;
};
struct IPluginFactory3 {
    const IPluginFactory3Vtbl* vtbl;
};

// The module's exports; InitDll and ExitDll are optional.
constexpr char kGetPluginFactory[] = "GetPluginFactory";
constexpr char kInitDll[] = "InitDll";
constexpr char kExitDll[] = "ExitDll";
using GetFactoryProc = IPluginFactory* (*)();
using InitModuleProc = bool (*)();
using ExitModuleProc = bool (*)();

}  // namespace vst3

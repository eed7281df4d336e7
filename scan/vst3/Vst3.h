// The parts of the VST3 module interface this server speaks, declared from
// the published 64-bit binary layout: the module's exports, the COM-style
// plugin factory in its three versions and the records it fills, the
// component, its audio processor and edit controller, and the host context
// handed to them. Names are
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
constexpr tresult kInternalError = static_cast<tresult>(0x80004005u);
constexpr tresult kInvalidArgument = static_cast<tresult>(0x80070057u);
constexpr tresult kOutOfMemory = static_cast<tresult>(0x8007000Eu);
constexpr tresult kNotInitialized = static_cast<tresult>(0x8000FFFFu);

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
constexpr TUID IComponent_iid = MakeTUID(0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802);
constexpr TUID IAudioProcessor_iid = MakeTUID(0x42043F99, 0xB7DA453C, 0xA569E79D, 0x9AAEC33D);
constexpr TUID IEditController_iid = MakeTUID(0xDCD7BBE3, 0x7742448D, 0xA874AACC, 0x979C759E);
constexpr TUID IHostApplication_iid = MakeTUID(0x58E595CC, 0xDB2D4969, 0x8B6AAF8C, 0x36A664E5);

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
static_assert(SameTUID(IComponent_iid,
                       TUID{{'\x31', '\xFF', '\x31', '\xE8', '\xD5', '\xF2', '\x01', '\x43', '\x92',
                             '\x8E', '\xBB', '\xEE', '\x25', '\x69', '\x78', '\x02'}}),
              "IComponent id in memory order");
static_assert(SameTUID(IHostApplication_iid,
                       TUID{{'\xCC', '\x95', '\xE5', '\x58', '\x2D', '\xDB', '\x69', '\x49', '\x8B',
                             '\x6A', '\xAF', '\x8C', '\x36', '\xA6', '\x64', '\xE5'}}),
              "IHostApplication id in memory order");

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
    // cid and iid point to 16 bytes each; a failure should leave *object null.
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

// A component's buses: media types, directions, bus types and flags.
constexpr int32_t kAudio = 0;
constexpr int32_t kEvent = 1;
constexpr int32_t kInput = 0;
constexpr int32_t kOutput = 1;
constexpr int32_t kMain = 0;
constexpr int32_t kAux = 1;
constexpr uint32_t kDefaultActive = 1;

// What setupProcessing takes.
constexpr int32_t kRealtime = 0;
constexpr int32_t kSample32 = 0;

constexpr int32_t kString128Units = 128;

struct BusInfo {
    int32_t mediaType;
    int32_t direction;
    int32_t channelCount;  // of an event bus: its MIDI channels
    char16_t name[kString128Units];
    int32_t busType;
    uint32_t flags;
};

struct ProcessSetup {
    int32_t processMode;
    int32_t symbolicSampleSize;
    int32_t maxSamplesPerBlock;
    double sampleRate;
};

static_assert(sizeof(BusInfo) == 276, "BusInfo size");
static_assert(offsetof(BusInfo, busType) == 268, "BusInfo busType offset");
static_assert(sizeof(ProcessSetup) == 24, "ProcessSetup size");
static_assert(offsetof(ProcessSetup, sampleRate) == 16, "ProcessSetup sampleRate offset");

// Booleans cross as one byte; a context is any object that answers FUnknown.
struct IPluginBaseVtbl : FUnknownVtbl {
    tresult (*initialize)(void* self, void* context);
    tresult (*terminate)(void* self);
};

struct IComponentVtbl : IPluginBaseVtbl {
    tresult (*getControllerClassId)(void* self, char* cid);
    tresult (*setIoMode)(void* self, int32_t mode);
    int32_t (*getBusCount)(void* self, int32_t type, int32_t direction);
    tresult (*getBusInfo)(void* self, int32_t type, int32_t direction, int32_t index,
                          BusInfo* info);
    tresult (*getRoutingInfo)(void* self, void* in, void* out);
    tresult (*activateBus)(void* self, int32_t type, int32_t direction, int32_t index,
                           uint8_t state);
    tresult (*setActive)(void* self, uint8_t state);
    tresult (*setState)(void* self, void* stream);
    tresult (*getState)(void* self, void* stream);
};

struct IAudioProcessorVtbl : FUnknownVtbl {
    tresult (*setBusArrangements)(void* self, uint64_t* inputs, int32_t inputCount,
                                  uint64_t* outputs, int32_t outputCount);
    tresult (*getBusArrangement)(void* self, int32_t direction, int32_t index,
                                 uint64_t* arrangement);
    tresult (*canProcessSampleSize)(void* self, int32_t size);
    uint32_t (*getLatencySamples)(void* self);
    tresult (*setupProcessing)(void* self, ProcessSetup* setup);
    tresult (*setProcessing)(void* self, uint8_t state);
    tresult (*process)(void* self, void* data);
    uint32_t (*getTailSamples)(void* self);
};

struct IEditControllerVtbl : IPluginBaseVtbl {
    tresult (*setComponentState)(void* self, void* stream);
    tresult (*setState)(void* self, void* stream);
    tresult (*getState)(void* self, void* stream);
    int32_t (*getParameterCount)(void* self);
    tresult (*getParameterInfo)(void* self, int32_t index, void* info);
    tresult (*getParamStringByValue)(void* self, uint32_t id, double normalized, char16_t* text);
    tresult (*getParamValueByString)(void* self, uint32_t id, char16_t* text, double* normalized);
    double (*normalizedParamToPlain)(void* self, uint32_t id, double normalized);
    double (*plainParamToNormalized)(void* self, uint32_t id, double plain);
    double (*getParamNormalized)(void* self, uint32_t id);
    tresult (*setParamNormalized)(void* self, uint32_t id, double normalized);
    tresult (*setComponentHandler)(void* self, void* handler);
    void* (*createView)(void* self, const char* name);
};

struct IHostApplicationVtbl : FUnknownVtbl {
    tresult (*getName)(void* self, char16_t* name);  // String128
    tresult (*createInstance)(void* self, char* cid, char* iid, void** object);
};

static_assert(sizeof(IComponentVtbl) == 14 * sizeof(void*), "IComponent table size");
static_assert(sizeof(IAudioProcessorVtbl) == 11 * sizeof(void*), "IAudioProcessor table size");
static_assert(sizeof(IEditControllerVtbl) == 18 * sizeof(void*), "IEditController table size");
static_assert(sizeof(IHostApplicationVtbl) == 5 * sizeof(void*), "IHostApplication table size");

struct IComponent {
    const IComponentVtbl* vtbl;
};
struct IAudioProcessor {
    const IAudioProcessorVtbl* vtbl;
};
struct IEditController {
    const IEditControllerVtbl* vtbl;
};
struct IHostApplication {
    const IHostApplicationVtbl* vtbl;
};

// The module's exports; InitDll and ExitDll are optional.
constexpr char kGetPluginFactory[] = "GetPluginFactory";
constexpr char kInitDll[] = "InitDll";
constexpr char kExitDll[] = "ExitDll";
using GetFactoryProc = IPluginFactory* (*)();
using InitModuleProc = bool (*)();
using ExitModuleProc = bool (*)();

}  // namespace vst3

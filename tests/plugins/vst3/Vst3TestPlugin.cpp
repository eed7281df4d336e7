// One VST3 module for the scan server's tests, built many times over: compile
// definitions choose the factory interfaces it offers, its classes and the
// way it misbehaves. tests/plugins/README.md lists every build and what a
// scan reports.
#include <windows.h>

#include <cstring>

#include "scan/vst3/Vst3.h"

using namespace vst3;

enum class Classes { Pair, Instruments, OddTexts };
enum class Mischief {
    None,
    InitFails,
    NullFactory,
    CrashInClassInfo2,
    HangInInit,
    // Sets its own unhandled-exception filter in getClassInfo for class 0 and
    // faults in getClassInfo for class 1.
    OwnFilterThenCrashInClassInfo,
};

// 1: IPluginFactory only; 2: also IPluginFactory2; 3: also IPluginFactory3.
#ifndef VST3_FACTORY
#define VST3_FACTORY 2
#endif
#ifndef VST3_CLASSES
#define VST3_CLASSES Pair
#endif
#ifndef VST3_MISCHIEF
#define VST3_MISCHIEF None
#endif
// Whether the module exports InitDll and ExitDll.
#ifndef VST3_INIT_EXIT
#define VST3_INIT_EXIT 1
#endif

namespace {

constexpr int kFactoryLevel = VST3_FACTORY;
constexpr Classes kClasses = Classes::VST3_CLASSES;
constexpr Mischief kMischief = Mischief::VST3_MISCHIEF;
constexpr int32_t kManyInstances = 0x7FFFFFFF;
constexpr int32_t kUnicodeFlag = 1 << 4;
constexpr uint32_t kDistributable = 1;
constexpr uint32_t kAnyAnswer = 1000;
// Exit code of the module's own unhandled-exception filter, so that a test can
// tell it apart from the server's filter (exit code 9).
constexpr UINT kOwnFilterExitCode = 42;

void Fault() {
    volatile int* volatile target = nullptr;
    *target = 1;
}

LONG WINAPI OwnUnhandledExceptionFilter(EXCEPTION_POINTERS*) {
    TerminateProcess(GetCurrentProcess(), kOwnFilterExitCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

struct ClassSource {
    const char* cid;  // 16 bytes, any values
    const char* category;
    const char* name;
    uint32_t classFlags;
    const char* subCategories;
    const char* vendor;
    const char* version;
    const char* sdkVersion;
    // Texts only the UTF-16 record carries; null: the 8-bit text widened.
    const char16_t* wideName;
    const char16_t* wideVendor;
    const char16_t* wideVersion;
    bool fails;  // every record call fails for it
};

const ClassSource kPair[] = {
    {"MarlowindDelay01", "Audio Module Class", "Test VST3 Delay", kDistributable, "Fx|Delay", "",
     "1.2.0", "VST 3.7.9", nullptr, nullptr, nullptr, false},
    {"MarlowindDelayC1", "Component Controller Class", "Test VST3 Delay Controller", 0, "", "",
     "1.2.0", "VST 3.7.9", nullptr, nullptr, nullptr, false},
};

const ClassSource kInstruments[] = {
    {"MarlowindSynth01", "Audio Module Class", "Test VST3 Synth", kDistributable,
     "Instrument|Synth", "Other Vendor", "2.0.1", "VST 3.7.9", nullptr, nullptr, nullptr, false},
    {"MarlowindSampler", "Audio Module Class", "Test VST3 Sampler", 0, "Instrument|Sampler|Stereo",
     "", "0.3", "VST 3.6.0", nullptr, nullptr, nullptr, false},
    {"MarlowindTests01", "Test Class", "Test VST3 Unit Tests", 0, "", "", "", "", nullptr, nullptr,
     nullptr, false},
};

// Answered only by getClassInfoUnicode: a cid with every kind of byte, texts
// that are not what they claim, texts that fill their arrays.
const ClassSource kOddTexts[] = {
    {"\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\xff", "Audio Module Class", "",
     3, "Fx|\xC3", "", "", "VST 3.7.9", u"Caf\u00e9 \U0001D11E", u"Bad \xDC00\xD800 end",
     u"0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef", false},
    {"MarlowindFails01", "Audio Module Class", "Never Read", 0, "", "", "", "", nullptr, nullptr,
     nullptr, true},
    {"MarlowindCtrl001", "Component Controller Class 12345", "", 0, "", "", "", "", u"Controller",
     nullptr, nullptr, false},
};

template <size_t N>
const ClassSource* Table(const ClassSource (&table)[N], int32_t& count) {
    count = static_cast<int32_t>(N);
    return table;
}

const ClassSource* ClassTable(int32_t& count) {
    switch (kClasses) {
        case Classes::Pair:
            return Table(kPair, count);
        case Classes::Instruments:
            return Table(kInstruments, count);
        case Classes::OddTexts:
            return Table(kOddTexts, count);
    }
    return Table(kPair, count);
}

// Up to the array's size: a text as long as the array has no terminator.
template <typename To, size_t N, typename From>
void CopyText(To (&to)[N], const From* from) {
    for (size_t at = 0; at < N && from[at] != 0; ++at) to[at] = static_cast<To>(from[at]);
}

// The UTF-16 text where there is one, else the 8-bit text widened.
template <size_t N>
void CopyWideText(char16_t (&to)[N], const char16_t* wide, const char* narrow) {
    if (wide) {
        CopyText(to, wide);
    } else {
        CopyText(to, narrow);
    }
}

// The source of a class record, or null when the call is to fail.
const ClassSource* SourceFor(int32_t index, bool unicodeCall) {
    int32_t count = 0;
    const ClassSource* table = ClassTable(count);
    if (index < 0 || index >= count || table[index].fails) return nullptr;
    // A real module answers only the UTF-16 call for some classes.
    if (kClasses == Classes::OddTexts && !unicodeCall) return nullptr;
    return &table[index];
}

template <typename Info>
void FillBasics(const ClassSource& source, Info& info) {
    std::memcpy(info.cid, source.cid, sizeof(info.cid));
    info.cardinality = kManyInstances;
    CopyText(info.category, source.category);
}

template <typename Info>
void FillDetails(const ClassSource& source, Info& info) {
    FillBasics(source, info);
    info.classFlags = source.classFlags;
    CopyText(info.subCategories, source.subCategories);
    CopyText(info.sdkVersion, source.sdkVersion);
}

// Every reference handed out and not yet released; ExitDll faults unless
// the scan released them all.
LONG references = 0;

tresult QueryInterface(void* self, const char* iid, void** object) {
    const TUID& asked = *reinterpret_cast<const TUID*>(iid);
    bool offered = SameTUID(asked, FUnknown_iid) || SameTUID(asked, IPluginFactory_iid) ||
                   (kFactoryLevel >= 2 && SameTUID(asked, IPluginFactory2_iid)) ||
                   (kFactoryLevel >= 3 && SameTUID(asked, IPluginFactory3_iid));
    *object = offered ? self : nullptr;
    if (!offered) return kNoInterface;
    InterlockedIncrement(&references);
    return kResultOk;
}

uint32_t AddRef(void*) {
    InterlockedIncrement(&references);
    return kAnyAnswer;
}

uint32_t Release(void*) {
    InterlockedDecrement(&references);
    return kAnyAnswer;
}

tresult GetFactoryInfo(void*, PFactoryInfo* info) {
    std::memset(info, 0, sizeof(*info));
    // The odd module's vendor fills its array; the url follows it in memory.
    CopyText(info->vendor, kClasses == Classes::OddTexts
                               ? "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef"
                               : "Marlowind Tests");
    CopyText(info->url, "https://example.com/vst3");
    CopyText(info->email, "mailto:tests@example.com");
    info->flags = kFactoryLevel >= 3 ? kUnicodeFlag : 0;
    return kResultOk;
}

int32_t CountClasses(void*) {
    int32_t count = 0;
    ClassTable(count);
    return count;
}

tresult GetClassInfo(void*, int32_t index, PClassInfo* info) {
    if (kMischief == Mischief::OwnFilterThenCrashInClassInfo) {
        if (index == 0) SetUnhandledExceptionFilter(OwnUnhandledExceptionFilter);
        if (index == 1) Fault();
    }
    std::memset(info, 0, sizeof(*info));
    const ClassSource* source = SourceFor(index, false);
    if (!source) return kResultFalse;
    FillBasics(*source, *info);
    CopyText(info->name, source->name);
    return kResultOk;
}

tresult GetClassInfo2(void*, int32_t index, PClassInfo2* info) {
    if (kMischief == Mischief::CrashInClassInfo2 && index == 1) Fault();
    std::memset(info, 0, sizeof(*info));
    const ClassSource* source = SourceFor(index, false);
    if (!source) return kResultFalse;
    FillDetails(*source, *info);
    CopyText(info->name, source->name);
    CopyText(info->vendor, source->vendor);
    CopyText(info->version, source->version);
    return kResultOk;
}

tresult GetClassInfoUnicode(void*, int32_t index, PClassInfoW* info) {
    std::memset(info, 0, sizeof(*info));
    const ClassSource* source = SourceFor(index, true);
    if (!source) return kResultFalse;
    FillDetails(*source, *info);
    CopyWideText(info->name, source->wideName, source->name);
    CopyWideText(info->vendor, source->wideVendor, source->vendor);
    CopyWideText(info->version, source->wideVersion, source->version);
    return kResultOk;
}

// Neither is ever part of a scan.
tresult CreateInstance(void*, const char*, const char*, void**) {
    Fault();
    return kNotImplemented;
}

tresult SetHostContext(void*, void*) {
    Fault();
    return kNotImplemented;
}

IPluginFactory3Vtbl MakeTable() {
    IPluginFactory3Vtbl table = {};
    table.queryInterface = QueryInterface;
    table.addRef = AddRef;
    table.release = Release;
    table.getFactoryInfo = GetFactoryInfo;
    table.countClasses = CountClasses;
    table.getClassInfo = GetClassInfo;
    table.createInstance = CreateInstance;
    table.getClassInfo2 = GetClassInfo2;
    table.getClassInfoUnicode = GetClassInfoUnicode;
    table.setHostContext = SetHostContext;
    return table;
}

const IPluginFactory3Vtbl kTable = MakeTable();
// One object stands for all three interfaces: each table begins with the one before.
IPluginFactory3 factory = {&kTable};

}  // namespace

extern "C" __declspec(dllexport) IPluginFactory* GetPluginFactory() {
    if (kMischief == Mischief::NullFactory) return nullptr;
    InterlockedIncrement(&references);
    return reinterpret_cast<IPluginFactory*>(&factory);
}

#if VST3_INIT_EXIT
extern "C" __declspec(dllexport) bool InitDll() {
    if (kMischief == Mischief::HangInInit) Sleep(INFINITE);
    return kMischief != Mischief::InitFails;
}

// Also the trap for a server that calls ExitDll after a failed InitDll.
extern "C" __declspec(dllexport) bool ExitDll() {
    if (references != 0 || kMischief == Mischief::InitFails) Fault();
    return true;
}
#endif

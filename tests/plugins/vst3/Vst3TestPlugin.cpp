// One VST3 module for the scan server's tests, built many times over: compile
// definitions choose the factory interfaces it offers, its classes (and what
// their instances answer) and the way it misbehaves. tests/plugins/README.md lists every build and
// what a scan reports.
#include <windows.h>

#include <cstddef>
#include <cstring>

#include "scan/vst3/Vst3.h"

using namespace vst3;

enum class Classes { Pair, Instruments, OddTexts, Buses, ManyBuses, Replacing };
enum class Mischief {
    None,
    InitFails,
    NullFactory,
    CrashInClassInfo2,
    HangInInit,
    // Sets its own unhandled-exception filter in getClassInfo for class 0 and
    // faults in getClassInfo for class 1.
    OwnFilterThenCrashInClassInfo,
    CrashInBusInfo,
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

// The step of an instance that answers InstanceSource::failure: initialize,
// getBusInfo for the last bus of the table, setActive(true), or the
// queryInterface for IAudioProcessor.
enum class Fails { Nothing, Initialize, BusInfo, SetActive, NoProcessor };

struct BusSource {
    int32_t type;
    int32_t direction;
    const char16_t* name;  // up to 128 units, no terminator after the 128th
    int32_t channels;
    int32_t busType;
    uint32_t flags;
};

// What an instance of a class answers; a controller class uses only
// parameters and fails.
struct InstanceSource {
    const BusSource* buses;
    int32_t busCount;
    int32_t lastBusTimes;  // how often the last bus of the table is counted
    // The controller class's 16 bytes; null: the component is its own
    // controller; "": getControllerClassId answers kNotImplemented.
    const char* controllerCid;
    int32_t parameters;
    uint32_t latency;  // answered once the component is active, 0 before
    Fails fails;
    tresult failure;
};

constexpr uint32_t kActive = kDefaultActive;

const BusSource kStereoBuses[] = {
    {kAudio, kInput, u"Stereo In", 2, kMain, kActive},
    {kAudio, kOutput, u"Stereo Out", 2, kMain, kActive},
};
const BusSource kSynthBuses[] = {
    {kEvent, kInput, u"MIDI In", 16, kMain, kActive},
    {kAudio, kOutput, u"Main Out", 2, kMain, kActive},
    {kAudio, kOutput, u"Aux Out", 2, kAux, 0},
};
const BusSource kSamplerBuses[] = {
    {kAudio, kOutput, u"Out", 2, kMain, kActive},
    {kEvent, kInput, u"Notes", 1, kMain, kActive},
};
const BusSource kNamedBuses[] = {
    {kAudio, kInput,
     u"0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef"
     u"0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef",
     1, kMain, kActive},
    {kAudio, kInput, u"Side\tChain \"1\"", 1, kAux, 0},
    {kAudio, kOutput, u"Mono Out", 1, kMain, kActive},
    {kEvent, kOutput, u"Caf\u00e9 \xD800", 16, kAux, kActive},
};
const BusSource kFailingBuses[] = {
    {kAudio, kOutput, u"Out", 2, kMain, kActive},
    {kAudio, kOutput, u"Never Read", 2, kAux, 0},
};
const BusSource kManyBuses[] = {
    {kAudio, kOutput, u"Out", 2, kMain, kActive},
    {kEvent, kInput, u"Port", 1, kAux, 0},
};

const InstanceSource kDelayInstance = {kStereoBuses,   2,        1, "MarlowindDelayC1", 0, 64,
                                       Fails::Nothing, kResultOk};
const InstanceSource kDelayControllerInstance = {nullptr,        0,        1, nullptr, 3, 0,
                                                 Fails::Nothing, kResultOk};
const InstanceSource kSynthInstance = {kSynthBuses,    3,        1, nullptr, 12, 0,
                                       Fails::Nothing, kResultOk};
const InstanceSource kSamplerInstance = {kSamplerBuses,    2,           1, "", 0, 0,
                                         Fails::SetActive, kResultFalse};
const InstanceSource kNamedBusesInstance = {kNamedBuses,    4,        1, nullptr, 0, 512,
                                            Fails::Nothing, kResultOk};
const InstanceSource kBusFailsInstance = {kFailingBuses,  2,           1, nullptr, 0, 0,
                                          Fails::BusInfo, kResultFalse};
const InstanceSource kControllerFailsInstance = {
    kStereoBuses, 2, 1, "MarlowindCtrlC02", 0, 32, Fails::Nothing, kResultOk};
const InstanceSource kFailingControllerInstance = {nullptr,           0,           1, nullptr, 0, 0,
                                                   Fails::Initialize, kResultFalse};
const InstanceSource kInitFailsInstance = {
    kStereoBuses, 2, 1, nullptr, 0, 0, Fails::Initialize, static_cast<tresult>(0x12345678)};
const InstanceSource kNoProcessorInstance = {kStereoBuses,       2,           1, "", 0, 0,
                                             Fails::NoProcessor, kNoInterface};
const InstanceSource kManyBusesInstance = {kManyBuses, 2, 1000,           nullptr,
                                           1,          0, Fails::Nothing, kResultOk};

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
    bool fails;                      // every record call fails for it
    const InstanceSource* instance;  // null: createInstance answers kNoInterface
};

const ClassSource kPair[] = {
    {"MarlowindDelay01", "Audio Module Class", "Test VST3 Delay", kDistributable, "Fx|Delay", "",
     "1.2.0", "VST 3.7.9", nullptr, nullptr, nullptr, false, &kDelayInstance},
    {"MarlowindDelayC1", "Component Controller Class", "Test VST3 Delay Controller", 0, "", "",
     "1.2.0", "VST 3.7.9", nullptr, nullptr, nullptr, false, &kDelayControllerInstance},
};

const ClassSource kInstruments[] = {
    {"MarlowindSynth01", "Audio Module Class", "Test VST3 Synth", kDistributable,
     "Instrument|Synth", "Other Vendor", "2.0.1", "VST 3.7.9", nullptr, nullptr, nullptr, false,
     &kSynthInstance},
    {"MarlowindSampler", "Audio Module Class", "Test VST3 Sampler", 0, "Instrument|Sampler|Stereo",
     "", "0.3", "VST 3.6.0", nullptr, nullptr, nullptr, false, &kSamplerInstance},
    {"MarlowindTests01", "Test Class", "Test VST3 Unit Tests", 0, "", "", "", "", nullptr, nullptr,
     nullptr, false, nullptr},
};

// Answered only by getClassInfoUnicode: a cid with every kind of byte, texts
// that are not what they claim, texts that fill their arrays.
const ClassSource kOddTexts[] = {
    {"\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\xff", "Audio Module Class", "",
     3, "Fx|\xC3", "", "", "VST 3.7.9", u"Caf\u00e9 \U0001D11E", u"Bad \xDC00\xD800 end",
     u"0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef", false, nullptr},
    {"MarlowindFails01", "Audio Module Class", "Never Read", 0, "", "", "", "", nullptr, nullptr,
     nullptr, true, nullptr},
    {"MarlowindCtrl001", "Component Controller Class 12345", "", 0, "", "", "", "", u"Controller",
     nullptr, nullptr, false, nullptr},
};

// Instances whose buses have odd names, and instances that fail a step.
const ClassSource kBuses[] = {
    {"MarlowindBuses01", "Audio Module Class", "Test VST3 Bus Names", 0, "Fx", "", "1.0",
     "VST 3.7.9", nullptr, nullptr, nullptr, false, &kNamedBusesInstance},
    {"MarlowindBusFail", "Audio Module Class", "Test VST3 Bus Fails", 0, "Fx", "", "1.0",
     "VST 3.7.9", nullptr, nullptr, nullptr, false, &kBusFailsInstance},
    {"MarlowindCtlFail", "Audio Module Class", "Test VST3 Controller Fails", 0, "Fx", "", "1.0",
     "VST 3.7.9", nullptr, nullptr, nullptr, false, &kControllerFailsInstance},
    {"MarlowindCtrlC02", "Component Controller Class", "Test VST3 Failing Controller", 0, "", "",
     "1.0", "VST 3.7.9", nullptr, nullptr, nullptr, false, &kFailingControllerInstance},
    {"MarlowindInitBad", "Audio Module Class", "Test VST3 Init Fails", 0, "Fx", "", "1.0",
     "VST 3.7.9", nullptr, nullptr, nullptr, false, &kInitFailsInstance},
    {"MarlowindNoProc1", "Audio Module Class", "Test VST3 No Processor", 0, "Fx", "", "1.0",
     "VST 3.7.9", nullptr, nullptr, nullptr, false, &kNoProcessorInstance},
};

const ClassSource kManyBusesClasses[] = {
    {"MarlowindManyBus", "Audio Module Class", "Test VST3 Many Buses", 0, "Instrument", "", "1.0",
     "VST 3.7.9", nullptr, nullptr, nullptr, false, &kManyBusesInstance},
};

// Successors of VST 2 plugins: one whose class id is derived from the test
// effect's VST 2 id ('TEff', name "test effe"), one that its moduleinfo.json
// says replaces the test synth.
const ClassSource kReplacing[] = {
    {"\x54\x54\x53\x56\x66\x45\x74\x66\x65\x73\x74\x20\x65\x66\x66\x65", "Audio Module Class",
     "Test VST3 Effect Successor", 0, "Fx", "", "1.0", "VST 3.7.9", nullptr, nullptr, nullptr,
     false, nullptr},
    {"MarlowindSynth02", "Audio Module Class", "Test \"Quoted\" Synth", 0, "Instrument", "", "1.0",
     "VST 3.7.9", nullptr, nullptr, nullptr, false, nullptr},
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
        case Classes::Buses:
            return Table(kBuses, count);
        case Classes::ManyBuses:
            return Table(kManyBusesClasses, count);
        case Classes::Replacing:
            return Table(kReplacing, count);
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

// Objects initialised and not yet terminated; ExitDll faults unless none is
// left, and a component's terminate faults while a controller is left.
LONG initializedObjects = 0;
LONG initializedControllers = 0;

// One object made by createInstance: a component (which may also be its own
// controller) or a controller. Each interface is a member of its own, so
// queryInterface answers a pointer other than the object's for some.
struct Instance {
    const IComponentVtbl* component;
    const IAudioProcessorVtbl* processor;
    const IEditControllerVtbl* controller;
    const InstanceSource* source;
    bool isComponent;
    LONG count;
    bool initialized;
    bool setUp;
    bool active;
};

template <size_t Offset>
Instance& InstanceOf(void* self) {
    return *reinterpret_cast<Instance*>(static_cast<char*>(self) - Offset);
}

constexpr size_t kComponentAt = offsetof(Instance, component);
constexpr size_t kProcessorAt = offsetof(Instance, processor);
constexpr size_t kControllerAt = offsetof(Instance, controller);

bool OwnController(const Instance& instance) {
    return !instance.isComponent || !instance.source->controllerCid;
}

void* InterfaceOf(Instance& instance, const TUID& asked) {
    if (SameTUID(asked, FUnknown_iid)) {
        return instance.isComponent ? static_cast<void*>(&instance.component)
                                    : static_cast<void*>(&instance.controller);
    }
    if (instance.isComponent && SameTUID(asked, IComponent_iid)) return &instance.component;
    if (instance.isComponent && SameTUID(asked, IAudioProcessor_iid) &&
        instance.source->fails != Fails::NoProcessor) {
        return &instance.processor;
    }
    if (OwnController(instance) && SameTUID(asked, IEditController_iid)) {
        return &instance.controller;
    }
    return nullptr;
}

template <size_t Offset>
tresult InstanceQueryInterface(void* self, const char* iid, void** object) {
    Instance& instance = InstanceOf<Offset>(self);
    *object = InterfaceOf(instance, *reinterpret_cast<const TUID*>(iid));
    if (!*object) return kNoInterface;
    InterlockedIncrement(&instance.count);
    InterlockedIncrement(&references);
    return kResultOk;
}

template <size_t Offset>
uint32_t InstanceAddRef(void* self) {
    InterlockedIncrement(&references);
    return static_cast<uint32_t>(InterlockedIncrement(&InstanceOf<Offset>(self).count));
}

template <size_t Offset>
uint32_t InstanceRelease(void* self) {
    Instance& instance = InstanceOf<Offset>(self);
    InterlockedDecrement(&references);
    LONG left = InterlockedDecrement(&instance.count);
    if (left == 0) delete &instance;
    return static_cast<uint32_t>(left);
}

// The context must be the server's IHostApplication, named after the product.
bool IsServerHost(void* context) {
    if (!context) return false;
    auto* unknown = static_cast<IHostApplication*>(context);
    void* asked = nullptr;
    if (unknown->vtbl->queryInterface(unknown, IHostApplication_iid.bytes, &asked) != kResultOk) {
        return false;
    }
    auto* host = static_cast<IHostApplication*>(asked);
    char16_t name[kString128Units] = {};
    tresult answer = host->vtbl->getName(host, name);
    host->vtbl->release(host);
    return answer == kResultOk && std::memcmp(name, u"Marlowind", sizeof(u"Marlowind")) == 0;
}

// Faults when called twice: an object that is its own controller is not
// initialised again as a controller.
template <size_t Offset>
tresult Initialize(void* self, void* context) {
    Instance& instance = InstanceOf<Offset>(self);
    if (instance.initialized) Fault();
    if (!IsServerHost(context)) return kInvalidArgument;
    if (instance.source->fails == Fails::Initialize) return instance.source->failure;
    instance.initialized = true;
    InterlockedIncrement(&initializedObjects);
    if (!instance.isComponent) InterlockedIncrement(&initializedControllers);
    return kResultOk;
}

// Faults for an object never initialised, and for a component whose separate
// controller is still initialised.
template <size_t Offset>
tresult Terminate(void* self) {
    Instance& instance = InstanceOf<Offset>(self);
    if (!instance.initialized) Fault();
    if (instance.isComponent && initializedControllers != 0) Fault();
    if (!instance.isComponent) InterlockedDecrement(&initializedControllers);
    InterlockedDecrement(&initializedObjects);
    instance.initialized = false;
    return kResultOk;
}

tresult GetControllerClassId(void* self, char* cid) {
    const char* controllerCid = InstanceOf<kComponentAt>(self).source->controllerCid;
    if (!controllerCid || !*controllerCid) return kNotImplemented;
    std::memcpy(cid, controllerCid, 16);
    return kResultOk;
}

bool Matches(const BusSource& bus, int32_t type, int32_t direction) {
    return bus.type == type && bus.direction == direction;
}

// The table's buses of that kind; the last one stands for lastBusTimes.
int32_t GetBusCount(void* self, int32_t type, int32_t direction) {
    const Instance& instance = InstanceOf<kComponentAt>(self);
    if (!instance.initialized) Fault();
    const InstanceSource& source = *instance.source;
    int32_t count = 0;
    for (int32_t at = 0; at < source.busCount; ++at) {
        if (!Matches(source.buses[at], type, direction)) continue;
        count += at == source.busCount - 1 ? source.lastBusTimes : 1;
    }
    return count;
}

tresult GetBusInfo(void* self, int32_t type, int32_t direction, int32_t index, BusInfo* info) {
    if (kMischief == Mischief::CrashInBusInfo) Fault();
    const InstanceSource& source = *InstanceOf<kComponentAt>(self).source;
    int32_t seen = 0;
    for (int32_t at = 0; at < source.busCount; ++at) {
        const BusSource& bus = source.buses[at];
        if (!Matches(bus, type, direction)) continue;
        bool last = at == source.busCount - 1;
        seen += last ? source.lastBusTimes : 1;
        if (index >= seen) continue;
        if (last && source.fails == Fails::BusInfo) return source.failure;
        std::memset(info, 0, sizeof(*info));
        info->mediaType = type;
        info->direction = direction;
        info->channelCount = bus.channels;
        CopyText(info->name, bus.name);
        info->busType = bus.busType;
        info->flags = bus.flags;
        return kResultOk;
    }
    return kInvalidArgument;
}

template <typename... Arguments>
tresult NotImplemented(void*, Arguments...) {
    return kNotImplemented;
}

// Only after setupProcessing, as the component's state rules say.
tresult SetActive(void* self, uint8_t state) {
    Instance& instance = InstanceOf<kComponentAt>(self);
    if (!instance.setUp) Fault();
    if (state && instance.source->fails == Fails::SetActive) return instance.source->failure;
    instance.active = state != 0;
    return kResultOk;
}

uint32_t GetLatencySamples(void* self) {
    const Instance& instance = InstanceOf<kProcessorAt>(self);
    return instance.active ? instance.source->latency : 0;
}

// Anything but the server's setup is refused, which leaves the latency unknown.
tresult SetupProcessing(void* self, ProcessSetup* setup) {
    Instance& instance = InstanceOf<kProcessorAt>(self);
    if (!instance.initialized || setup->processMode != kRealtime ||
        setup->symbolicSampleSize != kSample32 || setup->maxSamplesPerBlock != 4096 ||
        setup->sampleRate != 48000.0) {
        return kInvalidArgument;
    }
    instance.setUp = true;
    return kResultOk;
}

uint32_t GetTailSamples(void*) {
    return 0;
}

int32_t GetParameterCount(void* self) {
    const Instance& instance = InstanceOf<kControllerAt>(self);
    if (!instance.initialized) Fault();
    return instance.source->parameters;
}

double NoValue(void*, uint32_t, double) {
    return 0.0;
}

double GetParamNormalized(void*, uint32_t) {
    return 0.0;
}

void* CreateView(void*, const char*) {
    return nullptr;
}

IComponentVtbl MakeComponentTable() {
    IComponentVtbl table = {};
    table.queryInterface = InstanceQueryInterface<kComponentAt>;
    table.addRef = InstanceAddRef<kComponentAt>;
    table.release = InstanceRelease<kComponentAt>;
    table.initialize = Initialize<kComponentAt>;
    table.terminate = Terminate<kComponentAt>;
    table.getControllerClassId = GetControllerClassId;
    table.setIoMode = NotImplemented<int32_t>;
    table.getBusCount = GetBusCount;
    table.getBusInfo = GetBusInfo;
    table.getRoutingInfo = NotImplemented<void*, void*>;
    table.activateBus = NotImplemented<int32_t, int32_t, int32_t, uint8_t>;
    table.setActive = SetActive;
    table.setState = NotImplemented<void*>;
    table.getState = NotImplemented<void*>;
    return table;
}

IAudioProcessorVtbl MakeProcessorTable() {
    IAudioProcessorVtbl table = {};
    table.queryInterface = InstanceQueryInterface<kProcessorAt>;
    table.addRef = InstanceAddRef<kProcessorAt>;
    table.release = InstanceRelease<kProcessorAt>;
    table.setBusArrangements = NotImplemented<uint64_t*, int32_t, uint64_t*, int32_t>;
    table.getBusArrangement = NotImplemented<int32_t, int32_t, uint64_t*>;
    table.canProcessSampleSize = NotImplemented<int32_t>;
    table.getLatencySamples = GetLatencySamples;
    table.setupProcessing = SetupProcessing;
    table.setProcessing = NotImplemented<uint8_t>;
    table.process = NotImplemented<void*>;
    table.getTailSamples = GetTailSamples;
    return table;
}

IEditControllerVtbl MakeControllerTable() {
    IEditControllerVtbl table = {};
    table.queryInterface = InstanceQueryInterface<kControllerAt>;
    table.addRef = InstanceAddRef<kControllerAt>;
    table.release = InstanceRelease<kControllerAt>;
    table.initialize = Initialize<kControllerAt>;
    table.terminate = Terminate<kControllerAt>;
    table.setComponentState = NotImplemented<void*>;
    table.setState = NotImplemented<void*>;
    table.getState = NotImplemented<void*>;
    table.getParameterCount = GetParameterCount;
    table.getParameterInfo = NotImplemented<int32_t, void*>;
    table.getParamStringByValue = NotImplemented<uint32_t, double, char16_t*>;
    table.getParamValueByString = NotImplemented<uint32_t, char16_t*, double*>;
    table.normalizedParamToPlain = NoValue;
    table.plainParamToNormalized = NoValue;
    table.getParamNormalized = GetParamNormalized;
    table.setParamNormalized = NotImplemented<uint32_t, double>;
    table.setComponentHandler = NotImplemented<void*>;
    table.createView = CreateView;
    return table;
}

const IComponentVtbl kComponentTable = MakeComponentTable();
const IAudioProcessorVtbl kProcessorTable = MakeProcessorTable();
const IEditControllerVtbl kControllerTable = MakeControllerTable();

// A class with an instance source is made as a component (an audio module
// class) or a controller (a controller class), asked for by its interface.
tresult CreateInstance(void*, const char* cid, const char* iid, void** object) {
    *object = nullptr;
    int32_t count = 0;
    const ClassSource* table = ClassTable(count);
    for (int32_t at = 0; at < count; ++at) {
        const ClassSource& source = table[at];
        if (std::memcmp(source.cid, cid, 16) != 0 || !source.instance) continue;
        bool isComponent = std::strcmp(source.category, "Audio Module Class") == 0;
        const TUID& asked = *reinterpret_cast<const TUID*>(iid);
        if (!SameTUID(asked, isComponent ? IComponent_iid : IEditController_iid)) break;
        Instance* instance = new Instance{&kComponentTable,
                                          &kProcessorTable,
                                          &kControllerTable,
                                          source.instance,
                                          isComponent,
                                          1,
                                          false,
                                          false,
                                          false};
        InterlockedIncrement(&references);
        *object = isComponent ? static_cast<void*>(&instance->component)
                              : static_cast<void*>(&instance->controller);
        return kResultOk;
    }
    return kNoInterface;
}

tresult SetHostContext(void*, void* context) {
    return IsServerHost(context) ? kResultOk : kInvalidArgument;
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
    if (references != 0 || initializedObjects != 0 || kMischief == Mischief::InitFails) Fault();
    return true;
}
#endif

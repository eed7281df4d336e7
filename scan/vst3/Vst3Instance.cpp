#include "scan/vst3/Vst3Instance.h"

#include <new>

#include "channel/OutputChannel.h"
#include "crash/PluginCall.h"
#include "foundation/Utf16Text.h"
#include "scan/common/ScanFailure.h"
#include "scan/vst3/Vst3HostContext.h"
#include "scan/vst3/Vst3Reference.h"
#include "scan/vst3/Vst3Report.h"

namespace {

using namespace vst3;

constexpr double kSampleRate = 48000.0;
constexpr int32_t kMaxBlockSamples = 4096;

WideString ResultName(tresult answer) {
    switch (answer) {
        case kResultOk:
            return Format(L"kResultOk");
        case kResultFalse:
            return Format(L"kResultFalse");
        case kNoInterface:
            return Format(L"kNoInterface");
        case kInvalidArgument:
            return Format(L"kInvalidArgument");
        case kNotImplemented:
            return Format(L"kNotImplemented");
        case kInternalError:
            return Format(L"kInternalError");
        case kNotInitialized:
            return Format(L"kNotInitialized");
        case kOutOfMemory:
            return Format(L"kOutOfMemory");
        default:
            return Format(L"0x%.8X", answer);
    }
}

// The step's failure as the class's instanceError; false, so that a step can
// end with `return Failed(...)`.
bool Failed(CVst3Class& found, const wchar_t* step, tresult answer) {
    return Fail(found.instanceError, L"%s answered %s", step, ResultName(answer).Chars());
}

// The object the factory made; null, with the error set, when it made none.
template <typename Interface>
Interface* CreateObject(IPluginFactory* factory, const char* cid, const TUID& iid,
                        const wchar_t* step, CVst3Class& found) {
    void* object = nullptr;
    tresult answer =
        CallPlugin([&] { return factory->vtbl->createInstance(factory, cid, iid.bytes, &object); });
    if (answer == kResultOk && object) return static_cast<Interface*>(object);
    // An object handed out with a failure is not ours to release.
    if (answer == kResultOk) {
        Fail(found.instanceError, L"%s returned NULL", step);
    } else {
        Failed(found, step, answer);
    }
    return nullptr;
}

// Null when the object does not offer the interface.
template <typename Interface, typename Object>
Interface* AskInterface(Object* object, const TUID& iid, tresult& answer) {
    void* asked = nullptr;
    answer = CallPlugin([&] { return object->vtbl->queryInterface(object, iid.bytes, &asked); });
    if (answer == kResultOk && asked) return static_cast<Interface*>(asked);
    if (answer == kResultOk) answer = kNoInterface;
    return nullptr;
}

template <typename Object>
tresult Initialize(Object* object) {
    return CallPlugin([object] { return object->vtbl->initialize(object, Vst3HostContext()); });
}

template <typename Object>
void Terminate(Object* object) {
    CallPlugin([object] { return object->vtbl->terminate(object); });
}

struct BusKind {
    int32_t type;
    int32_t direction;
    const wchar_t* name;
    Vst3BusList CVst3Class::*list;
};

constexpr BusKind kBusKinds[] = {
    {kAudio, kInput, L"audio input", &CVst3Class::audioInputs},
    {kAudio, kOutput, L"audio output", &CVst3Class::audioOutputs},
    {kEvent, kInput, L"event input", &CVst3Class::eventInputs},
    {kEvent, kOutput, L"event output", &CVst3Class::eventOutputs},
};

int32_t CountBuses(IComponent* component, const BusKind& kind, int32_t index) {
    WriteInfo(L"Counting %s buses of class %i...\n", kind.name, index);
    int32_t count = CallPlugin(
        [&] { return component->vtbl->getBusCount(component, kind.type, kind.direction); });
    if (count <= kMaxVst3Buses) return count;
    WriteWarning(L"The %s buses of class %i cut after %i of %i\n", kind.name, index, kMaxVst3Buses,
                 count);
    return kMaxVst3Buses;
}

// False, with the error set, when the component failed a call.
[[nodiscard]] bool ReadBus(IComponent* component, const BusKind& kind, int32_t busIndex,
                           int32_t index, CVst3Class& found) {
    WriteInfo(L"Reading %s bus %i of class %i...\n", kind.name, busIndex, index);
    BusInfo info = {};
    tresult answer = CallPlugin([&] {
        return component->vtbl->getBusInfo(component, kind.type, kind.direction, busIndex, &info);
    });
    if (answer != kResultOk) return Failed(found, L"getBusInfo", answer);
    CVst3Bus* bus = new (std::nothrow) CVst3Bus;
    if (!bus || !(found.*kind.list).Add(bus)) {
        return Fail(found.instanceError, L"Out of memory reading the buses");
    }
    bus->name = FromUtf16UpTo(info.name, kString128Units);
    bus->channels = info.channelCount;
    bus->main = info.busType == kMain;
    bus->defaultActive = (info.flags & kDefaultActive) != 0;
    return true;
}

[[nodiscard]] bool ReadBuses(IComponent* component, int32_t index, CVst3Class& found) {
    for (const BusKind& kind : kBusKinds) {
        int32_t count = CountBuses(component, kind, index);
        for (int32_t busIndex = 0; busIndex < count; ++busIndex) {
            if (!ReadBus(component, kind, busIndex, index, found)) return false;
        }
    }
    return true;
}

// Set up, activated and deactivated again; a step that fails leaves the
// latency unknown, which is no failure of the instance.
void ReadLatencyOfProcessor(IComponent* component, IAudioProcessor* processor, int32_t index,
                            CVst3Class& found) {
    WriteInfo(L"Setting up processing of class %i...\n", index);
    ProcessSetup setup = {kRealtime, kSample32, kMaxBlockSamples, kSampleRate};
    tresult answer =
        CallPlugin([&] { return processor->vtbl->setupProcessing(processor, &setup); });
    if (answer != kResultOk) {
        WriteInfo(L"No latency: setupProcessing answered %s\n", ResultName(answer).Chars());
        return;
    }
    WriteInfo(L"Activating component of class %i...\n", index);
    answer = CallPlugin([component] { return component->vtbl->setActive(component, 1); });
    if (answer != kResultOk) {
        WriteInfo(L"No latency: setActive answered %s\n", ResultName(answer).Chars());
        return;
    }
    WriteInfo(L"Reading latency of class %i...\n", index);
    found.latencySamples =
        CallPlugin([processor] { return processor->vtbl->getLatencySamples(processor); });
    WriteInfo(L"Deactivating component of class %i...\n", index);
    CallPlugin([component] { return component->vtbl->setActive(component, 0); });
}

void ReadLatency(IComponent* component, int32_t index, CVst3Class& found) {
    WriteInfo(L"Asking component of class %i for IAudioProcessor...\n", index);
    tresult answer = kResultOk;
    Vst3Reference<IAudioProcessor> processor(
        AskInterface<IAudioProcessor>(component, IAudioProcessor_iid, answer));
    if (!processor.IsValid()) {
        WriteInfo(L"No latency: queryInterface answered %s\n", ResultName(answer).Chars());
        return;
    }
    ReadLatencyOfProcessor(component, processor.Get(), index, found);
    WriteInfo(L"Releasing IAudioProcessor of class %i...\n", index);
}

void CountParameters(IEditController* controller, int32_t index, CVst3Class& found) {
    WriteInfo(L"Counting parameters of class %i...\n", index);
    int32_t count =
        CallPlugin([controller] { return controller->vtbl->getParameterCount(controller); });
    if (count >= 0) {
        found.parameters = count;
        return;
    }
    WriteWarning(L"Parameter count %i of class %i left out\n", count, index);
}

bool IsNullId(const char (&cid)[16]) {
    for (char byte : cid) {
        if (byte != 0) return false;
    }
    return true;
}

// The class getControllerClassId names, made, initialised, counted,
// terminated and released.
void CountParametersOfSeparateController(IPluginFactory* factory, IComponent* component,
                                         int32_t index, CVst3Class& found) {
    WriteInfo(L"Reading controller class id of class %i...\n", index);
    char cid[16] = {};
    tresult answer =
        CallPlugin([&] { return component->vtbl->getControllerClassId(component, cid); });
    if (answer != kResultOk || IsNullId(cid)) {
        WriteInfo(L"No edit controller: getControllerClassId answered %s\n",
                  ResultName(answer).Chars());
        return;
    }
    WriteInfo(L"Creating controller of class %i...\n", index);
    Vst3Reference<IEditController> controller(CreateObject<IEditController>(
        factory, cid, IEditController_iid, L"controller createInstance", found));
    if (!controller.IsValid()) return;
    WriteInfo(L"Initializing controller of class %i...\n", index);
    answer = Initialize(controller.Get());
    if (answer != kResultOk) {
        Failed(found, L"controller initialize", answer);
        WriteInfo(L"Releasing controller of class %i...\n", index);
        return;
    }
    CountParameters(controller.Get(), index, found);
    WriteInfo(L"Terminating controller of class %i...\n", index);
    Terminate(controller.Get());
    WriteInfo(L"Releasing controller of class %i...\n", index);
}

// From the component itself when it is also the edit controller, which is
// then initialised already.
void ReadParameterCount(IPluginFactory* factory, IComponent* component, int32_t index,
                        CVst3Class& found) {
    WriteInfo(L"Asking component of class %i for IEditController...\n", index);
    tresult answer = kResultOk;
    Vst3Reference<IEditController> controller(
        AskInterface<IEditController>(component, IEditController_iid, answer));
    if (!controller.IsValid()) {
        CountParametersOfSeparateController(factory, component, index, found);
        return;
    }
    CountParameters(controller.Get(), index, found);
    WriteInfo(L"Releasing IEditController of class %i...\n", index);
}

void ReadInitializedComponent(IPluginFactory* factory, IComponent* component, int32_t index,
                              CVst3Class& found) {
    if (!ReadBuses(component, index, found)) return;
    ReadLatency(component, index, found);
    ReadParameterCount(factory, component, index, found);
}

}  // namespace

void ReadVst3Instance(IPluginFactory* factory, int32_t index, CVst3Class& found) {
    WriteInfo(L"Creating component of class %i...\n", index);
    const char* cid = reinterpret_cast<const char*>(found.cid);
    Vst3Reference<IComponent> component(
        CreateObject<IComponent>(factory, cid, IComponent_iid, L"createInstance", found));
    if (!component.IsValid()) return;
    WriteInfo(L"Initializing component of class %i...\n", index);
    tresult answer = Initialize(component.Get());
    if (answer == kResultOk) {
        ReadInitializedComponent(factory, component.Get(), index, found);
        WriteInfo(L"Terminating component of class %i...\n", index);
        Terminate(component.Get());
    } else {
        Failed(found, L"initialize", answer);
    }
    WriteInfo(L"Releasing component of class %i...\n", index);
}

#include "scan/vst3/Vst3Probe.h"

#include <cstring>
#include <cwchar>
#include <new>

#include "channel/OutputChannel.h"
#include "crash/PluginCall.h"
#include "foundation/Utf16Text.h"
#include "foundation/Utf8Text.h"
#include "scan/common/ScanFailure.h"
#include "scan/vst3/Vst3.h"
#include "scan/vst3/Vst3HostContext.h"
#include "scan/vst3/Vst3Instance.h"
#include "scan/vst3/Vst3Reference.h"
#include "scan/vst3/Vst3Report.h"

namespace {

using namespace vst3;

template <typename Interface>
using Reference = Vst3Reference<Interface>;

struct Factories {
    Reference<IPluginFactory> factory;
    Reference<IPluginFactory2> factory2;  // each may be missing
    Reference<IPluginFactory3> factory3;
};

template <size_t N>
WideString ReadText(const char (&text)[N]) {
    return FromUtf8UpTo(text, static_cast<int32_t>(N));
}

template <size_t N>
WideString ReadText(const char16_t (&text)[N]) {
    return FromUtf16UpTo(text, static_cast<int32_t>(N));
}

// What every class record holds.
template <typename Info>
void ReadClassBasics(const Info& info, CVst3Class& found) {
    std::memcpy(found.cid, info.cid, sizeof(found.cid));
    found.cardinality = info.cardinality;
    found.category = ReadText(info.category);
    found.name = ReadText(info.name);
}

// What the records of IPluginFactory2 and IPluginFactory3 add.
template <typename Info>
void ReadClassDetails(const Info& info, CVst3Class& found) {
    ReadClassBasics(info, found);
    found.classFlags = info.classFlags;
    found.subCategories = ReadText(info.subCategories);
    found.vendor = ReadText(info.vendor);
    found.version = ReadText(info.version);
    found.sdkVersion = ReadText(info.sdkVersion);
}

// One record call; the record is zeroed first, so that a call that fails
// leaves nothing of an earlier one.
template <typename Interface, typename Info>
tresult AskClassRecord(Interface* object, tresult (*call)(void*, int32_t, Info*), int32_t index,
                       const wchar_t* callName, Info& info) {
    WriteInfo(L"Reading class %i with %s...\n", index, callName);
    std::memset(&info, 0, sizeof(info));
    return CallPlugin([&] { return call(object, index, &info); });
}

// The fullest record the factory gives for the class: a real module answers
// only the UTF-16 call for some classes and fails the others with zeroed
// data. False, with a warning, when every call failed.
bool ReadClass(const Factories& factories, int32_t index, CVst3Class& found) {
    if (IPluginFactory3* factory3 = factories.factory3.Get()) {
        PClassInfoW info;
        if (AskClassRecord(factory3, factory3->vtbl->getClassInfoUnicode, index,
                           L"getClassInfoUnicode", info) == kResultOk) {
            ReadClassDetails(info, found);
            return true;
        }
    }
    if (IPluginFactory2* factory2 = factories.factory2.Get()) {
        PClassInfo2 info;
        if (AskClassRecord(factory2, factory2->vtbl->getClassInfo2, index, L"getClassInfo2",
                           info) == kResultOk) {
            ReadClassDetails(info, found);
            return true;
        }
    }
    IPluginFactory* factory = factories.factory.Get();
    PClassInfo info;
    tresult answer =
        AskClassRecord(factory, factory->vtbl->getClassInfo, index, L"getClassInfo", info);
    if (answer == kResultOk) {
        ReadClassBasics(info, found);
        return true;
    }
    WriteWarning(L"Class %i left out: the factory answered 0x%.8X\n", index, answer);
    return false;
}

int32_t CountClasses(IPluginFactory* factory) {
    WriteInfo(L"Counting classes...\n");
    int32_t count = CallPlugin([factory] { return factory->vtbl->countClasses(factory); });
    WriteInfo(L"Class count: %i\n", count);
    if (count <= kMaxVst3Classes) return count;
    WriteWarning(L"Class list cut after %i classes\n", kMaxVst3Classes);
    return kMaxVst3Classes;
}

void ListClasses(const Factories& factories, Vst3ScanResult& result) {
    int32_t count = CountClasses(factories.factory.Get());
    for (int32_t index = 0; index < count; ++index) {
        CVst3Class* kept = new (std::nothrow) CVst3Class;
        if (kept && !ReadClass(factories, index, *kept)) {
            delete kept;
            continue;
        }
        if (!kept || !result.classes.Add(kept)) {
            WriteWarning(L"Class list cut after %i classes, out of memory\n",
                         result.classes.Count());
            return;
        }
    }
}

// The audio processors; the other classes are their controllers and helpers.
bool IsAudioModuleClass(const CVst3Class& found) {
    return !found.category.IsNull() && wcscmp(found.category.Chars(), L"Audio Module Class") == 0;
}

// The same context the components get.
void SetHostContext(IPluginFactory3* factory3) {
    WriteInfo(L"Passing the host context to IPluginFactory3...\n");
    tresult answer = CallPlugin(
        [factory3] { return factory3->vtbl->setHostContext(factory3, Vst3HostContext()); });
    if (answer != kResultOk) WriteInfo(L"setHostContext answered 0x%.8X\n", answer);
}

void ReadInstances(IPluginFactory* factory, Vst3ScanResult& result) {
    result.instances = true;
    for (int32_t index = 0; index < result.classes.Count(); ++index) {
        CVst3Class& found = *result.classes[index];
        if (IsAudioModuleClass(found)) ReadVst3Instance(factory, index, found);
    }
}

void ReadFactoryInfo(IPluginFactory* factory, Vst3ScanResult& result) {
    WriteInfo(L"Reading factory info...\n");
    PFactoryInfo info = {};
    tresult answer = CallPlugin([&] { return factory->vtbl->getFactoryInfo(factory, &info); });
    if (answer != kResultOk) {
        WriteWarning(L"Factory info left out: the factory answered 0x%.8X\n", answer);
        return;
    }
    result.factoryVendor = ReadText(info.vendor);
    result.factoryUrl = ReadText(info.url);
    result.factoryEmail = ReadText(info.email);
    result.factoryFlags = info.flags;
}

// Null when the factory does not offer the interface.
template <typename Interface>
Interface* QueryInterface(IPluginFactory* factory, const TUID& iid, const wchar_t* name) {
    WriteInfo(L"Asking for %s...\n", name);
    void* object = nullptr;
    tresult answer =
        CallPlugin([&] { return factory->vtbl->queryInterface(factory, iid.bytes, &object); });
    if (answer == kResultOk && object) return static_cast<Interface*>(object);
    WriteInfo(L"No %s: the factory answered 0x%.8X\n", name, answer);
    return nullptr;
}

template <typename Interface>
void Release(Reference<Interface>& reference, const wchar_t* name) {
    if (!reference.IsValid()) return;
    WriteInfo(L"Releasing %s...\n", name);
    reference.Close();
}

[[nodiscard]] bool ReadFactory(GetFactoryProc getPluginFactory, bool instances,
                               Vst3ScanResult& result) {
    WriteInfo(L"Calling GetPluginFactory...\n");
    Factories factories;
    factories.factory.Reset(CallPlugin(getPluginFactory));
    if (!factories.factory.IsValid()) {
        return Fail(result.error, L"GetPluginFactory returned NULL");
    }
    IPluginFactory* factory = factories.factory.Get();
    ReadFactoryInfo(factory, result);
    factories.factory3.Reset(
        QueryInterface<IPluginFactory3>(factory, IPluginFactory3_iid, L"IPluginFactory3"));
    if (instances && factories.factory3.IsValid()) SetHostContext(factories.factory3.Get());
    factories.factory2.Reset(
        QueryInterface<IPluginFactory2>(factory, IPluginFactory2_iid, L"IPluginFactory2"));
    ListClasses(factories, result);
    if (instances) ReadInstances(factory, result);
    Release(factories.factory3, L"IPluginFactory3");
    Release(factories.factory2, L"IPluginFactory2");
    Release(factories.factory, L"the plugin factory");
    return true;
}

template <typename Proc>
Proc FindExport(HMODULE module, const char* name) {
    return reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

bool ProbeVst3Module(HMODULE module, bool instances, Vst3ScanResult& result) {
    WriteInfo(L"Looking for GetPluginFactory in module %p\n", module);
    auto getPluginFactory = FindExport<GetFactoryProc>(module, kGetPluginFactory);
    if (!getPluginFactory) {
        return Fail(result.error, L"Entry point GetPluginFactory not found, not a VST3 module");
    }
    if (auto initDll = FindExport<InitModuleProc>(module, kInitDll)) {
        WriteInfo(L"Calling InitDll...\n");
        // A module whose InitDll failed must not be called again, ExitDll included.
        if (!CallPlugin(initDll)) return Fail(result.error, L"InitDll returned false");
    }
    bool read = ReadFactory(getPluginFactory, instances, result);
    if (auto exitDll = FindExport<ExitModuleProc>(module, kExitDll)) {
        WriteInfo(L"Calling ExitDll...\n");
        CallPlugin(exitDll);
    }
    return read;
}

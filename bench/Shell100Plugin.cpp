// A shell plugin whose sub-plugins have the ids 1 to 100, each as plain as the
// fast test plugin; the entry point asks the host for the current id and
// creates that one. Built without the C++ runtime (no operator new, no
// exceptions, no threads), whose static copy in a plugin leaves about 4 KiB
// behind at every load and unload, so that loading it afresh costs only the load.
#include <windows.h>

#include <cstdio>

#include "scan/vst2/Vst2.h"

namespace {

constexpr int32_t kSubPluginCount = 100;
constexpr int32_t kShellUniqueId = 0x42536843;  // 'BShC'
constexpr size_t kStringBufferBytes = 512;

struct Instance {
    AEffect effect;  // first, so the record pointer is the instance pointer
    bool isShell;
    int32_t nextListed;
};

void WriteText(void* buffer, const char* text) {
    std::snprintf(static_cast<char*>(buffer), kStringBufferBytes, "%s", text);
}

void WriteSubPluginName(void* buffer, int32_t id) {
    std::snprintf(static_cast<char*>(buffer), kStringBufferBytes, "Sub-plugin %d",
                  static_cast<int>(id));
}

intptr_t Dispatcher(AEffect* effect, int32_t opcode, int32_t, intptr_t, void* ptr, float) {
    Instance* instance = reinterpret_cast<Instance*>(effect);
    switch (opcode) {
        case effGetEffectName:
            if (instance->isShell) {
                WriteText(ptr, "Benchmark Shell");
            } else {
                WriteSubPluginName(ptr, effect->uniqueID);
            }
            return 1;
        case effGetVendorString:
            WriteText(ptr, "Benchmark Vendor");
            return 1;
        case effGetProductString:
            WriteText(ptr, "Benchmark Product");
            return 1;
        case effGetPlugCategory:
            return instance->isShell ? kPlugCategShell : kPlugCategEffect;
        case effCanDo:
            return -1;
        case effGetVendorVersion:
            return 1;
        case effShellGetNextPlugin: {
            if (!instance->isShell || instance->nextListed > kSubPluginCount) return 0;
            int32_t id = instance->nextListed++;
            WriteSubPluginName(ptr, id);
            return id;
        }
        case effClose:
            HeapFree(GetProcessHeap(), 0, instance);
            return 1;
        default:
            return 0;
    }
}

}  // namespace

extern "C" __declspec(dllexport) AEffect* VSTPluginMain(AudioMasterCallback host) {
    intptr_t id = host(nullptr, audioMasterCurrentId, 0, 0, nullptr, 0.0f);
    if (id < 0 || id > kSubPluginCount) return nullptr;
    auto* instance =
        static_cast<Instance*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(Instance)));
    if (!instance) return nullptr;
    instance->isShell = id == 0;
    instance->nextListed = 1;
    AEffect& effect = instance->effect;
    effect.magic = kEffectMagic;
    effect.dispatcher = Dispatcher;
    effect.numInputs = 2;
    effect.numOutputs = 2;
    effect.uniqueID = instance->isShell ? kShellUniqueId : static_cast<int32_t>(id);
    return &effect;
}

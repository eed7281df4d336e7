#include "bench/InProcessScan.h"

#include "scan/Vst2.h"

namespace {

constexpr int kStringBufferBytes = 512;

intptr_t QuietHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

intptr_t Dispatch(AEffect* effect, int32_t opcode, void* ptr) {
    return effect->dispatcher(effect, opcode, 0, 0, ptr, 0.0f);
}

void QueryString(AEffect* effect, int32_t opcode) {
    char buffer[kStringBufferBytes + 1];
    buffer[0] = 0;
    Dispatch(effect, opcode, buffer);
}

// Sends a canDo query and, when it answers no, its fallback, as a scan does.
void QueryCanDo(AEffect* effect, const char* capability, const char* fallback) {
    if (static_cast<int32_t>(Dispatch(effect, effCanDo, const_cast<char*>(capability))) != -1) {
        return;
    }
    Dispatch(effect, effCanDo, const_cast<char*>(fallback));
}

}  // namespace

bool ScanInProcess(const wchar_t* libraryPath) {
    HMODULE module = LoadLibraryExW(libraryPath, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module) return false;
    FARPROC found = GetProcAddress(module, "VSTPluginMain");
    AEffect* effect = nullptr;
    if (found) {
        auto entryPoint = reinterpret_cast<VstEntryPoint>(reinterpret_cast<void*>(found));
        effect = entryPoint(QuietHost);
    }
    bool scanned = effect && effect->magic == kEffectMagic;
    if (scanned) {
        QueryString(effect, effGetEffectName);
        QueryString(effect, effGetVendorString);
        QueryString(effect, effGetProductString);
        Dispatch(effect, effGetPlugCategory, nullptr);
        QueryCanDo(effect, "receiveVstMidiEvent", "receiveVstEvents");
        QueryCanDo(effect, "sendVstMidiEvent", "sendVstEvents");
        Dispatch(effect, effGetVendorVersion, nullptr);
        Dispatch(effect, effClose, nullptr);
    }
    FreeLibrary(module);
    return scanned;
}

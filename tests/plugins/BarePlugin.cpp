// A plugin without any C or C++ runtime: loading and freeing it costs nothing
// of its own, so whatever a long run of scans accumulates is the scanner's.
#include <windows.h>

#include "scan/vst2/Vst2.h"

namespace {

void CopyText(void* buffer, const char* text) {
    char* out = static_cast<char*>(buffer);
    while ((*out++ = *text++) != 0) {
    }
}

intptr_t Dispatcher(AEffect*, int32_t opcode, int32_t, intptr_t, void* ptr, float) {
    switch (opcode) {
        case effGetEffectName:
            CopyText(ptr, "Bare");
            return 1;
        case effGetVendorString:
            CopyText(ptr, "Test Vendor");
            return 1;
        case effGetProductString:
            CopyText(ptr, "Bare Product");
            return 1;
        case effGetPlugCategory:
            return kPlugCategEffect;
        case effCanDo:
            return -1;
        case effGetVendorVersion:
            return 1000;
        default:
            return 0;
    }
}

AEffect effect;

}  // namespace

extern "C" BOOL WINAPI BareDllMain(HINSTANCE, DWORD, void*) {
    return TRUE;
}

extern "C" AEffect* VSTPluginMain(AudioMasterCallback) {
    effect.magic = kEffectMagic;
    effect.dispatcher = Dispatcher;
    effect.numInputs = 2;
    effect.numOutputs = 2;
    effect.uniqueID = 0x54426172;
    return &effect;
}

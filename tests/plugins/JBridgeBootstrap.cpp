// The export that marks a jBridge bootstrap library; a scanner must leave such
// a library alone, so nothing ever calls this.
#include "scan/vst2/Vst2.h"

extern "C" AEffect* JBridgeBootstrap(AudioMasterCallback) {
    return nullptr;
}

// The input is the text of a VST3 bundle's moduleinfo.json as a plugin maker
// wrote it; it is read as scan-plugins reads it, and each class id it names
// is looked at for the VST 2 id it may carry.
#include "tools/scan-plugins/ModuleInfo.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    ModuleInfo info;
    std::string problem;
    if (!ParseModuleInfo(text, info, problem)) return 0;
    uint32_t id;
    for (const ModuleInfoClass& found : info.classes) {
        if (Vst2IdOfClassId(found.cid, id)) static_cast<void>(Vst2IdText(id));
    }
    for (const ModuleInfoCompatibility& entry : info.compatibility) {
        for (const std::string& old : entry.oldCids) {
            if (Vst2IdOfClassId(old, id)) static_cast<void>(Vst2IdText(id));
        }
    }
    return 0;
}

#include "tools/scan-plugins/ServerChoice.h"

#include <cstdio>

namespace {

constexpr char kNoServer[] = ": the x64 scan server cannot load it";

std::string MachineName(const ImageHeader& image) {
    switch (image.machine) {
        case ImageMachine::kX86:
            return "32-bit (x86) plugin";
        case ImageMachine::kArm64:
            return "ARM64 plugin";
        case ImageMachine::kArm:
            return "32-bit ARM plugin";
        case ImageMachine::kNotAnImage:
            return "Not a Windows DLL (no PE header)";
        case ImageMachine::kX64:
        case ImageMachine::kOther:
            break;
    }
    char text[64];
    std::snprintf(text, sizeof(text), "Plugin for machine type 0x%.4X",
                  static_cast<unsigned>(image.machineValue));
    return text;
}

}  // namespace

bool HasServerFor(const ImageHeader& image, std::string& whyNot) {
    if (image.machine == ImageMachine::kX64) return true;
    whyNot = MachineName(image) + kNoServer;
    return false;
}

// The machine type a DLL is built for, read from its PE header, so that a host
// can tell before any scan which server, if any, can load it.
#pragma once

#include <cstdint>
#include <string>

enum class ImageMachine { kNotAnImage, kX64, kX86, kArm64, kArm, kOther };

struct ImageHeader {
    ImageMachine machine = ImageMachine::kNotAnImage;
    uint16_t machineValue = 0;  // IMAGE_FILE_HEADER.Machine as written
};

// The file's machine type; false when the file cannot be read (not when it is
// no image: that is kNotAnImage).
[[nodiscard]] bool ReadImageMachine(const std::wstring& path, ImageHeader& header);

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

// The two steps over the bytes read, apart from the file: where the PE
// signature lies, from the first kDosHeaderBytes of the file (false when they
// are no DOS header); and the header from the kPeHeaderBytes at that offset.
constexpr size_t kDosHeaderBytes = 64;
// "PE\0\0" and the first field of the file header, the machine.
constexpr size_t kPeHeaderBytes = 6;
[[nodiscard]] bool PeHeaderOffset(const std::string& dosHeader, uint32_t& offset);
ImageHeader ReadPeHeader(const std::string& peHeader);

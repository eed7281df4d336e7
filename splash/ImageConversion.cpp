#include "splash/ImageConversion.h"

#include <cstddef>
#include <cstring>

namespace {

constexpr uint8_t kOpaque = 255;

void SetPixel(uint8_t* pixel, uint32_t blue, uint32_t green, uint32_t red) {
    pixel[0] = static_cast<uint8_t>(blue);
    pixel[1] = static_cast<uint8_t>(green);
    pixel[2] = static_cast<uint8_t>(red);
    pixel[3] = kOpaque;
}

uint32_t ReadWord(const uint8_t* source) {
    return static_cast<uint32_t>(source[0]) | static_cast<uint32_t>(source[1]) << 8;
}

void ConvertRgb32Row(const uint8_t* source, uint32_t width, uint8_t* destination) {
    for (uint32_t x = 0; x < width; ++x, source += 4, destination += 4)
        SetPixel(destination, source[0], source[1], source[2]);
}

void ConvertRgb24Row(const uint8_t* source, uint32_t width, uint8_t* destination) {
    for (uint32_t x = 0; x < width; ++x, source += 3, destination += 4)
        SetPixel(destination, source[0], source[1], source[2]);
}

// The 5- and 6-bit fields are only shifted up, not widened, so 31 gives 248.
void ConvertRgb565Row(const uint8_t* source, uint32_t width, uint8_t* destination) {
    for (uint32_t x = 0; x < width; ++x, source += 2, destination += 4) {
        uint32_t v = ReadWord(source);
        SetPixel(destination, (v & 0x1F) << 3, ((v >> 5) & 0x3F) << 2, ((v >> 11) & 0x1F) << 3);
    }
}

void ConvertRgb555Row(const uint8_t* source, uint32_t width, uint8_t* destination) {
    for (uint32_t x = 0; x < width; ++x, source += 2, destination += 4) {
        uint32_t v = ReadWord(source);
        SetPixel(destination, (v & 0x1F) << 3, ((v >> 5) & 0x1F) << 3, ((v >> 10) & 0x1F) << 3);
    }
}

}  // namespace

Gdiplus::PixelFormat FormatToLock(Gdiplus::PixelFormat imageFormat) {
    return (imageFormat & PixelFormatIndexed) != 0 ? PixelFormat32bppARGB : imageFormat;
}

void ConvertImageRow(Gdiplus::PixelFormat format, const uint8_t* source, uint32_t width,
                     uint8_t* destination) {
    switch (format) {
        case PixelFormat32bppARGB:
            std::memcpy(destination, source, static_cast<size_t>(width) * 4);
            break;
        case PixelFormat32bppRGB:
            ConvertRgb32Row(source, width, destination);
            break;
        case PixelFormat24bppRGB:
            ConvertRgb24Row(source, width, destination);
            break;
        case PixelFormat16bppRGB565:
            ConvertRgb565Row(source, width, destination);
            break;
        case PixelFormat16bppRGB555:
            ConvertRgb555Row(source, width, destination);
            break;
        default:
            break;
    }
}

void ConvertImageRows(Gdiplus::PixelFormat format, const uint8_t* scan0, int32_t stride,
                      uint32_t width, uint32_t height, uint8_t* dibBits) {
    const size_t dibRowBytes = static_cast<size_t>(width) * 4;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* source = scan0 + static_cast<ptrdiff_t>(y) * stride;
        uint8_t* destination = dibBits + (height - 1 - y) * dibRowBytes;
        ConvertImageRow(format, source, width, destination);
    }
}

void PremultiplyPixels(uint8_t* pixels, int32_t pixelCount) {
    for (int32_t i = 0; i < pixelCount; ++i, pixels += 4) {
        const uint32_t alpha = pixels[3];
        for (int channel = 0; channel < 3; ++channel)
            pixels[channel] = static_cast<uint8_t>(pixels[channel] * alpha / 255);
    }
}

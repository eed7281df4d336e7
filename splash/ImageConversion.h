// Turning decoded image rows into the pixels of a 32-bit bottom-up DIB with
// premultiplied alpha (memory order blue, green, red, alpha).
#pragma once

#include <cstdint>

#include "splash/GdiplusHeaders.h"

// The format to lock an image's bits in: its own, so GDI+ converts nothing,
// except for palette images, whose colours GDI+ resolves into 32bppARGB.
Gdiplus::PixelFormat FormatToLock(Gdiplus::PixelFormat imageFormat);

// One source row of `width` pixels into `destination` (width * 4 bytes).
// A format without a conversion leaves the destination as it was.
void ConvertImageRow(Gdiplus::PixelFormat format, const uint8_t* source, uint32_t width,
                     uint8_t* destination);

// Every row from the top-down source (`stride` may be negative) into the
// bottom-up DIB rows at `dibBits`: image row y lands on memory row height - 1 - y.
void ConvertImageRows(Gdiplus::PixelFormat format, const uint8_t* scan0, int32_t stride,
                      uint32_t width, uint32_t height, uint8_t* dibBits);

// c * a / 255, rounded down, for the colour bytes of each 32-bit pixel.
void PremultiplyPixels(uint8_t* pixels, int32_t pixelCount);

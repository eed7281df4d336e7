// The splash image decoded by GDI+ into a 32-bit bottom-up DIB section with
// premultiplied alpha, ready for UpdateLayeredWindow. GDI+ must be started.
#pragma once

#include <cstdint>

#include "platform/GdiOwners.h"
#include "splash/GdiplusHeaders.h"

// The "PNG" resource 101 of the module; empty when it is missing or cannot be decoded.
[[nodiscard]] UniqueBitmap loadSplashBitmap(HINSTANCE instance);

// Any image GDI+ can decode, given as its file bytes; empty on failure.
[[nodiscard]] UniqueBitmap DecodeSplashImage(const void* bytes, uint32_t size);

// A new 32-bit DIB section holding the image's pixels, not yet premultiplied;
// empty on failure. Formats without a conversion come out transparent.
[[nodiscard]] UniqueBitmap bitmapToDib(Gdiplus::Bitmap& image);

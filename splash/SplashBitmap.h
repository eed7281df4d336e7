// The splash image decoded by GDI+ into a 32-bit bottom-up DIB section with
// premultiplied alpha, ready for UpdateLayeredWindow. GDI+ must be started.
#pragma once

#include <cstdint>

#include "splash/GdiplusHeaders.h"

// The "PNG" resource 101 of the module; null when it is missing or cannot be decoded.
HBITMAP loadSplashBitmap(HINSTANCE instance);

// Any image GDI+ can decode, given as its file bytes; null on failure.
HBITMAP DecodeSplashImage(const void* bytes, uint32_t size);

// A new 32-bit DIB section holding the image's pixels, not yet premultiplied;
// null on failure. Formats without a conversion come out transparent.
HBITMAP bitmapToDib(Gdiplus::Bitmap& image);

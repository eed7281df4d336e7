// Owners of the GDI+ session and of a GDI+ bitmap's locked pixels.
#pragma once

#include "platform/UniqueOwner.h"
#include "splash/GdiplusHeaders.h"

struct GdiplusSessionTraits : NullIsInvalid<ULONG_PTR> {
    static void Close(ULONG_PTR token) { Gdiplus::GdiplusShutdown(token); }
};
using UniqueGdiplusSession = UniqueOwner<GdiplusSessionTraits>;

// Empty when GDI+ does not start.
inline UniqueGdiplusSession StartGdiplus() {
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return {};
    return UniqueGdiplusSession(token);
}

// The pixels of a GDI+ bitmap locked for reading; closing unlocks them.
struct BitmapBitsRecord {
    Gdiplus::Bitmap* bitmap;
    Gdiplus::BitmapData data;
};
struct BitmapBitsTraits {
    using Type = BitmapBitsRecord;
    static Type Invalid() { return {nullptr, {}}; }
    static bool IsValid(const Type& bits) { return bits.bitmap != nullptr; }
    static void Close(Type bits) { bits.bitmap->UnlockBits(&bits.data); }
};
using UniqueBitmapBits = UniqueOwner<BitmapBitsTraits>;

inline UniqueBitmapBits LockBitmapBits(Gdiplus::Bitmap& bitmap, Gdiplus::PixelFormat format) {
    Gdiplus::Rect whole(0, 0, static_cast<INT>(bitmap.GetWidth()),
                        static_cast<INT>(bitmap.GetHeight()));
    BitmapBitsRecord bits = {&bitmap, {}};
    if (bitmap.LockBits(&whole, Gdiplus::ImageLockModeRead, format, &bits.data) != Gdiplus::Ok) {
        return {};
    }
    return UniqueBitmapBits(bits);
}

#include "splash/SplashBitmap.h"

#include <cstring>

#include "splash/GdiplusOwners.h"
#include "splash/ImageConversion.h"

namespace {

constexpr WORD kSplashImageId = 101;

// GDI+ reads images from a stream, and a stream over global memory needs
// movable memory of its own: the resource's memory cannot be handed over.
// Empty on failure.
UniqueComReference<IStream> OpenStreamOnCopy(const void* bytes, uint32_t size) {
    UniqueGlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size));
    if (!memory.IsValid()) return {};
    {
        UniqueGlobalLock lock = LockGlobalMemory(memory.Get());
        if (!lock.IsValid()) return {};
        std::memcpy(lock.Get().data, bytes, size);
    }
    UniqueComReference<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(memory.Get(), TRUE, stream.Receive()))) return {};
    memory.Detach();  // released with the stream
    return stream;
}

void PremultiplyDib(HBITMAP dib) {
    DIBSECTION section = {};
    if (GetObjectW(dib, sizeof(section), &section) != sizeof(section) || !section.dsBm.bmBits)
        return;
    const int32_t pixelCount = section.dsBm.bmWidthBytes * section.dsBm.bmHeight / 4;
    PremultiplyPixels(static_cast<uint8_t*>(section.dsBm.bmBits), pixelCount);
}

}  // namespace

UniqueBitmap loadSplashBitmap(HINSTANCE instance) {
    HRSRC resource = FindResourceW(instance, MAKEINTRESOURCEW(kSplashImageId), L"PNG");
    if (!resource) return {};
    HGLOBAL loaded = LoadResource(instance, resource);
    const DWORD size = SizeofResource(instance, resource);
    if (!loaded || size == 0) return {};
    const void* bytes = LockResource(loaded);
    if (!bytes) return {};
    return DecodeSplashImage(bytes, size);
}

UniqueBitmap DecodeSplashImage(const void* bytes, uint32_t size) {
    UniqueComReference<IStream> stream = OpenStreamOnCopy(bytes, size);
    if (!stream.IsValid()) return {};
    Gdiplus::Bitmap image(stream.Get(), FALSE);
    if (image.GetLastStatus() != Gdiplus::Ok) return {};
    UniqueBitmap dib = bitmapToDib(image);
    if (dib.IsValid()) PremultiplyDib(dib.Get());
    return dib;
}

UniqueBitmap bitmapToDib(Gdiplus::Bitmap& image) {
    const Gdiplus::PixelFormat format = image.GetPixelFormat();
    const UINT width = image.GetWidth();
    const UINT height = image.GetHeight();

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = static_cast<LONG>(height);  // positive: rows bottom-up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap dib(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dib.IsValid() || !bits) return {};
    std::memset(bits, 0, static_cast<size_t>(height) * width * 4);

    const Gdiplus::PixelFormat lockFormat = FormatToLock(format);
    UniqueBitmapBits lock = LockBitmapBits(image, lockFormat);
    if (!lock.IsValid()) return {};
    const Gdiplus::BitmapData& data = lock.Get().data;
    ConvertImageRows(lockFormat, static_cast<const uint8_t*>(data.Scan0), data.Stride, width,
                     height, static_cast<uint8_t*>(bits));
    return dib;
}

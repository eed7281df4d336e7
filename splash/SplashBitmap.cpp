#include "splash/SplashBitmap.h"

#include <cstring>

#include "splash/GdiHandles.h"
#include "splash/ImageConversion.h"

namespace {

constexpr WORD kSplashImageId = 101;

// GDI+ reads images from a stream, and a stream over global memory needs
// movable memory of its own: the resource's memory cannot be handed over.
[[nodiscard]] bool OpenStreamOnCopy(const void* bytes, uint32_t size, ComStream& stream) {
    GlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size));
    if (!memory.IsValid()) return false;
    {
        GlobalMemoryLock lock(memory.Get());
        if (!lock.IsValid()) return false;
        std::memcpy(lock.Get(), bytes, size);
    }
    if (FAILED(CreateStreamOnHGlobal(memory.Get(), TRUE, stream.Receive()))) return false;
    memory.Detach();  // released with the stream
    return true;
}

void PremultiplyDib(HBITMAP dib) {
    DIBSECTION section = {};
    if (GetObjectW(dib, sizeof(section), &section) != sizeof(section) || !section.dsBm.bmBits)
        return;
    const int32_t pixelCount = section.dsBm.bmWidthBytes * section.dsBm.bmHeight / 4;
    PremultiplyPixels(static_cast<uint8_t*>(section.dsBm.bmBits), pixelCount);
}

}  // namespace

HBITMAP loadSplashBitmap(HINSTANCE instance) {
    HRSRC resource = FindResourceW(instance, MAKEINTRESOURCEW(kSplashImageId), L"PNG");
    if (!resource) return nullptr;
    HGLOBAL loaded = LoadResource(instance, resource);
    const DWORD size = SizeofResource(instance, resource);
    if (!loaded || size == 0) return nullptr;
    const void* bytes = LockResource(loaded);
    if (!bytes) return nullptr;
    return DecodeSplashImage(bytes, size);
}

HBITMAP DecodeSplashImage(const void* bytes, uint32_t size) {
    ComStream stream;
    if (!OpenStreamOnCopy(bytes, size, stream)) return nullptr;
    Gdiplus::Bitmap image(stream.Get(), FALSE);
    if (image.GetLastStatus() != Gdiplus::Ok) return nullptr;
    HBITMAP dib = bitmapToDib(image);
    if (dib) PremultiplyDib(dib);
    return dib;
}

HBITMAP bitmapToDib(Gdiplus::Bitmap& image) {
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
    GdiObject dib(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dib.IsValid() || !bits) return nullptr;
    std::memset(bits, 0, static_cast<size_t>(height) * width * 4);

    const Gdiplus::PixelFormat lockFormat = FormatToLock(format);
    BitmapBitsLock lock(image, lockFormat);
    if (!lock.IsValid()) return nullptr;
    const Gdiplus::BitmapData& data = lock.Data();
    ConvertImageRows(lockFormat, static_cast<const uint8_t*>(data.Scan0), data.Stride, width,
                     height, static_cast<uint8_t*>(bits));
    return static_cast<HBITMAP>(dib.Detach());
}

#include "splash/GdiHandles.h"

namespace {

// Releasing a handle may set the thread's last error; the caller's error wins.
class LastErrorKeeper {
public:
    LastErrorKeeper() : error_(GetLastError()) {}
    LastErrorKeeper(const LastErrorKeeper&) = delete;
    LastErrorKeeper& operator=(const LastErrorKeeper&) = delete;
    ~LastErrorKeeper() { SetLastError(error_); }

private:
    DWORD error_;
};

}  // namespace

void GdiObject::Close() {
    if (!object_) return;
    LastErrorKeeper keeper;
    DeleteObject(object_);
    object_ = nullptr;
}

HGDIOBJ GdiObject::Detach() {
    HGDIOBJ object = object_;
    object_ = nullptr;
    return object;
}

void DeviceContext::Close() {
    if (!context_) return;
    LastErrorKeeper keeper;
    DeleteDC(context_);
    context_ = nullptr;
}

SelectedObject::SelectedObject(HDC context, HGDIOBJ object)
    : context_(context), previous_(SelectObject(context, object)) {}

void SelectedObject::Close() {
    if (!IsValid()) return;
    LastErrorKeeper keeper;
    SelectObject(context_, previous_);
    previous_ = nullptr;
}

void GlobalMemory::Close() {
    if (!memory_) return;
    LastErrorKeeper keeper;
    GlobalFree(memory_);
    memory_ = nullptr;
}

HGLOBAL GlobalMemory::Detach() {
    HGLOBAL memory = memory_;
    memory_ = nullptr;
    return memory;
}

void GlobalMemoryLock::Close() {
    if (!data_) return;
    LastErrorKeeper keeper;
    GlobalUnlock(memory_);
    data_ = nullptr;
}

IStream** ComStream::Receive() {
    Close();
    return &stream_;
}

void ComStream::Close() {
    if (!stream_) return;
    LastErrorKeeper keeper;
    stream_->Release();
    stream_ = nullptr;
}

BitmapBitsLock::BitmapBitsLock(Gdiplus::Bitmap& bitmap, Gdiplus::PixelFormat format)
    : bitmap_(bitmap) {
    Gdiplus::Rect whole(0, 0, static_cast<INT>(bitmap.GetWidth()),
                        static_cast<INT>(bitmap.GetHeight()));
    locked_ = bitmap.LockBits(&whole, Gdiplus::ImageLockModeRead, format, &data_) == Gdiplus::Ok;
}

void BitmapBitsLock::Close() {
    if (!locked_) return;
    LastErrorKeeper keeper;
    bitmap_.UnlockBits(&data_);
    locked_ = false;
}

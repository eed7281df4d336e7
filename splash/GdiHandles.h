// Owners for the GDI, GDI+ and global-memory handles the splash window uses.
// Each is empty at the value its API returns on failure, cannot be copied,
// and keeps GetLastError intact when it closes, so a caller can still report it.
#pragma once

#include "splash/GdiplusHeaders.h"

class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(HGDIOBJ object) : object_(object) {}
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    ~GdiObject() { Close(); }

    HGDIOBJ Get() const { return object_; }
    bool IsValid() const { return object_ != nullptr; }
    void Close();
    HGDIOBJ Detach();

private:
    HGDIOBJ object_ = nullptr;
};

// A device context from CreateDCW or CreateCompatibleDC, both ended by DeleteDC.
class DeviceContext {
public:
    DeviceContext() = default;
    explicit DeviceContext(HDC context) : context_(context) {}
    DeviceContext(const DeviceContext&) = delete;
    DeviceContext& operator=(const DeviceContext&) = delete;
    ~DeviceContext() { Close(); }

    HDC Get() const { return context_; }
    bool IsValid() const { return context_ != nullptr; }
    void Close();

private:
    HDC context_ = nullptr;
};

// Selects an object into a device context and selects the previous one back.
class SelectedObject {
public:
    SelectedObject(HDC context, HGDIOBJ object);
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
    ~SelectedObject() { Close(); }

    bool IsValid() const { return previous_ != nullptr && previous_ != HGDI_ERROR; }
    void Close();

private:
    HDC context_;
    HGDIOBJ previous_;
};

class GlobalMemory {
public:
    GlobalMemory() = default;
    explicit GlobalMemory(HGLOBAL memory) : memory_(memory) {}
    GlobalMemory(const GlobalMemory&) = delete;
    GlobalMemory& operator=(const GlobalMemory&) = delete;
    ~GlobalMemory() { Close(); }

    HGLOBAL Get() const { return memory_; }
    bool IsValid() const { return memory_ != nullptr; }
    void Close();
    HGLOBAL Detach();

private:
    HGLOBAL memory_ = nullptr;
};

// The address of locked movable global memory, unlocked again on close.
class GlobalMemoryLock {
public:
    explicit GlobalMemoryLock(HGLOBAL memory) : memory_(memory), data_(GlobalLock(memory)) {}
    GlobalMemoryLock(const GlobalMemoryLock&) = delete;
    GlobalMemoryLock& operator=(const GlobalMemoryLock&) = delete;
    ~GlobalMemoryLock() { Close(); }

    void* Get() const { return data_; }
    bool IsValid() const { return data_ != nullptr; }
    void Close();

private:
    HGLOBAL memory_;
    void* data_;
};

class ComStream {
public:
    ComStream() = default;
    ComStream(const ComStream&) = delete;
    ComStream& operator=(const ComStream&) = delete;
    ~ComStream() { Close(); }

    IStream* Get() const { return stream_; }
    // For functions that hand out a new reference; closes the current one first.
    IStream** Receive();
    void Close();

private:
    IStream* stream_ = nullptr;
};

// The pixels of a GDI+ bitmap locked for reading, unlocked again on close.
class BitmapBitsLock {
public:
    BitmapBitsLock(Gdiplus::Bitmap& bitmap, Gdiplus::PixelFormat format);
    BitmapBitsLock(const BitmapBitsLock&) = delete;
    BitmapBitsLock& operator=(const BitmapBitsLock&) = delete;
    ~BitmapBitsLock() { Close(); }

    const Gdiplus::BitmapData& Data() const { return data_; }
    bool IsValid() const { return locked_; }
    void Close();

private:
    Gdiplus::Bitmap& bitmap_;
    Gdiplus::BitmapData data_ = {};
    bool locked_ = false;
};

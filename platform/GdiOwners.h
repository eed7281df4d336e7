// Owners of GDI objects, device contexts, selections, movable global memory
// and COM references.
#pragma once

#include <objidl.h>
#include <windows.h>

#include "platform/UniqueOwner.h"

template <typename T>
struct GdiObjectTraits : NullIsInvalid<T> {
    static void Close(T object) { DeleteObject(object); }
};
template <typename T>
using UniqueGdiObject = UniqueOwner<GdiObjectTraits<T>>;
using UniqueBitmap = UniqueGdiObject<HBITMAP>;

// A device context from CreateDCW or CreateCompatibleDC, both ended by DeleteDC.
struct DeviceContextTraits : NullIsInvalid<HDC> {
    static void Close(HDC context) { DeleteDC(context); }
};
using UniqueDeviceContext = UniqueOwner<DeviceContextTraits>;

// An object selected into a device context; closing selects the previous one back.
struct Selection {
    HDC context;
    HGDIOBJ previous;
};
struct SelectionTraits {
    using Type = Selection;
    static Type Invalid() { return {nullptr, nullptr}; }
    static bool IsValid(const Type& selection) {
        return selection.previous != nullptr && selection.previous != HGDI_ERROR;
    }
    static void Close(const Type& selection) {
        SelectObject(selection.context, selection.previous);
    }
};
using UniqueSelection = UniqueOwner<SelectionTraits>;

inline UniqueSelection SelectInto(HDC context, HGDIOBJ object) {
    return UniqueSelection({context, SelectObject(context, object)});
}

struct GlobalMemoryTraits : NullIsInvalid<HGLOBAL> {
    static void Close(HGLOBAL memory) { GlobalFree(memory); }
};
using UniqueGlobalMemory = UniqueOwner<GlobalMemoryTraits>;

// The address of locked movable global memory; closing unlocks it.
struct GlobalLockRecord {
    HGLOBAL memory;
    void* data;
};
struct GlobalLockTraits {
    using Type = GlobalLockRecord;
    static Type Invalid() { return {nullptr, nullptr}; }
    static bool IsValid(const Type& lock) { return lock.data != nullptr; }
    static void Close(const Type& lock) { GlobalUnlock(lock.memory); }
};
using UniqueGlobalLock = UniqueOwner<GlobalLockTraits>;

inline UniqueGlobalLock LockGlobalMemory(HGLOBAL memory) {
    return UniqueGlobalLock({memory, GlobalLock(memory)});
}

template <typename T>
struct ComReferenceTraits : NullIsInvalid<T*> {
    static void Close(T* object) { object->Release(); }
};
template <typename T>
using UniqueComReference = UniqueOwner<ComReferenceTraits<T>>;

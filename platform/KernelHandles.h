// Owners of the kernel objects, libraries and system-allocated memory that
// the server, the host library and its tools hold.
#pragma once

#include <windows.h>

#include "platform/UniqueOwner.h"

struct KernelHandleTraits : NullIsInvalid<HANDLE> {
    static void Close(HANDLE handle) { CloseHandle(handle); }
};
// Processes, threads and pipe ends: their calls fail with a null handle.
using UniqueHandle = UniqueOwner<KernelHandleTraits>;

struct FileHandleTraits : InvalidValueIsInvalid {
    static void Close(HANDLE handle) { CloseHandle(handle); }
};
// What CreateFileW opens.
using UniqueFile = UniqueOwner<FileHandleTraits>;

struct FindHandleTraits : InvalidValueIsInvalid {
    static void Close(HANDLE handle) { FindClose(handle); }
};
// A FindFirstFileW search.
using UniqueFindHandle = UniqueOwner<FindHandleTraits>;

struct ModuleTraits : NullIsInvalid<HMODULE> {
    static void Close(HMODULE module) { FreeLibrary(module); }
};
// A library loaded by LoadLibraryExW.
using UniqueModule = UniqueOwner<ModuleTraits>;

template <typename T>
struct LocalMemoryTraits : NullIsInvalid<T*> {
    static void Close(T* memory) { LocalFree(memory); }
};
// Memory the system allocated for the caller (FormatMessageW, CommandLineToArgvW).
template <typename T>
using UniqueLocalMemory = UniqueOwner<LocalMemoryTraits<T>>;

struct HeapBlockTraits : NullIsInvalid<void*> {
    static void Close(void* block) { HeapFree(GetProcessHeap(), 0, block); }
};
// A block of the process heap (HeapAlloc).
using UniqueHeapBlock = UniqueOwner<HeapBlockTraits>;

struct RegistryKeyTraits : NullIsInvalid<HKEY> {
    static void Close(HKEY key) { RegCloseKey(key); }
};
// A key RegOpenKeyExW opened.
using UniqueRegistryKey = UniqueOwner<RegistryKeyTraits>;

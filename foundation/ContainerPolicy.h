// What the containers do with their elements and where their memory comes from.
#pragma once

#include <cstddef>

#include "foundation/SharedString.h"

// Elements are plain copied values: nothing to clean up.
struct SValue {
    template <typename T>
    static void Release(T&) {}
};

// Elements are pointers the container owns and deletes.
struct SOwnedPtr {
    template <typename T>
    static void Release(T*& element) {
        delete element;
        element = nullptr;
    }
};

// Raw blocks from the process heap. Reallocate keeps the old block intact
// when it fails, so a container can go on with what it had.
struct SProcessHeap {
    static void* Allocate(size_t bytes) { return shared_string_detail::AllocateBlock(bytes); }
    static void* Reallocate(void* block, size_t bytes) {
        return shared_string_detail::ReallocateBlock(block, bytes);
    }
    static void Free(void* block) { shared_string_detail::FreeBlock(block); }
};

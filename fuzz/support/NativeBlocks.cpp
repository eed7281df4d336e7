// The strings' blocks from the C heap instead of the process heap, so that
// AddressSanitizer watches every string's bounds.
#include <cstdlib>

#include "foundation/SharedString.h"

namespace shared_string_detail {

void* AllocateBlock(size_t bytes) {
    return std::malloc(bytes);
}

void* ReallocateBlock(void* block, size_t bytes) {
    return std::realloc(block, bytes);
}

void FreeBlock(void* block) {
    std::free(block);
}

}  // namespace shared_string_detail

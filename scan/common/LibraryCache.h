// The one library kept loaded between requests: a VST 2 shell library, after
// it has listed its sub-plugins, so that the requests for them that follow
// reuse it. Any other request frees it.
#pragma once

#include "foundation/SharedString.h"
#include "platform/KernelHandles.h"

bool IsLibraryCached();
void FreeCachedLibrary();

// Hands over the cached library when it is the one at the path; otherwise
// frees a cached library and returns false.
[[nodiscard]] bool ReuseCachedLibrary(const WideString& path, UniqueModule& module);

// Keeps the scanned library for the requests that follow, or frees it.
void KeepOrFreeLibrary(UniqueModule module, const WideString& path, bool keep);

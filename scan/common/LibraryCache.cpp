#include "scan/common/LibraryCache.h"

#include <utility>

#include "channel/OutputChannel.h"
#include "crash/PluginCall.h"

namespace {

struct LibraryCache {
    UniqueModule module;
    WideString path;
};

LibraryCache libraryCache;

// Freeing runs the library's DllMain: plugin code.
void FreeLibraryOf(UniqueModule& module) {
    CallPlugin([&module] { module.Close(); });
}

}  // namespace

bool IsLibraryCached() {
    return libraryCache.module.IsValid();
}

void FreeCachedLibrary() {
    WriteInfo(L"Freeing cached library...\n");
    FreeLibraryOf(libraryCache.module);
    libraryCache.path.Release();
    WriteInfo(L"Freed\n");
}

bool ReuseCachedLibrary(const WideString& path, UniqueModule& module) {
    if (!IsLibraryCached()) return false;
    if (libraryCache.path != path) {
        FreeCachedLibrary();
        return false;
    }
    WriteInfo(L"Re-using previous library instance...\n");
    module = std::move(libraryCache.module);
    return true;
}

void KeepOrFreeLibrary(UniqueModule module, const WideString& path, bool keep) {
    if (keep) {
        WriteInfo(L"Keeping shell library loaded for now...\n");
        libraryCache.module = std::move(module);
        libraryCache.path = path;
    } else {
        WriteInfo(L"Freeing library...\n");
        FreeLibraryOf(module);
    }
}

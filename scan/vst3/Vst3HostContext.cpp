#include "scan/vst3/Vst3HostContext.h"

#include <windows.h>

namespace {

using namespace vst3;

constexpr char16_t kHostName[] = u"Marlowind";
static_assert(sizeof(kHostName) / sizeof(kHostName[0]) <= kString128Units, "name fits String128");

// Counted for the plugins' sake only: the object is never freed.
LONG references = 1;

tresult QueryInterface(void* self, const char* iid, void** object) {
    if (!object) return kInvalidArgument;
    if (!iid || !(SameTUID(*reinterpret_cast<const TUID*>(iid), FUnknown_iid) ||
                  SameTUID(*reinterpret_cast<const TUID*>(iid), IHostApplication_iid))) {
        *object = nullptr;
        return kNoInterface;
    }
    InterlockedIncrement(&references);
    *object = self;
    return kResultOk;
}

uint32_t AddRef(void*) {
    return static_cast<uint32_t>(InterlockedIncrement(&references));
}

uint32_t Release(void*) {
    return static_cast<uint32_t>(InterlockedDecrement(&references));
}

tresult GetName(void*, char16_t* name) {
    if (!name) return kInvalidArgument;
    for (size_t at = 0; at < sizeof(kHostName) / sizeof(kHostName[0]); ++at) {
        name[at] = kHostName[at];
    }
    return kResultOk;
}

// The scan makes no objects for a plugin, messages included.
tresult CreateInstance(void*, char*, char*, void** object) {
    if (object) *object = nullptr;
    return kNoInterface;
}

constexpr IHostApplicationVtbl kTable = {
    {QueryInterface, AddRef, Release}, GetName, CreateInstance};
IHostApplication context = {&kTable};

}  // namespace

IHostApplication* Vst3HostContext() {
    return &context;
}

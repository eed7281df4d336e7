// One reference the scan holds on a plugin object (a factory, a component, a
// processor or a controller); closing it calls the object's release.
#pragma once

#include "crash/PluginCall.h"
#include "platform/UniqueOwner.h"

template <typename Interface>
struct Vst3ReferenceTraits : NullIsInvalid<Interface*> {
    static void Close(Interface* object) {
        CallPlugin([object] { return object->vtbl->release(object); });
    }
};

template <typename Interface>
using Vst3Reference = UniqueOwner<Vst3ReferenceTraits<Interface>>;

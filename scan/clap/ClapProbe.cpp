#include "scan/clap/ClapProbe.h"

#include <new>

#include "channel/OutputChannel.h"
#include "crash/PluginCall.h"
#include "scan/clap/Clap.h"
#include "scan/clap/ClapHost.h"
#include "scan/clap/ClapInstance.h"
#include "scan/clap/ClapReport.h"
#include "scan/clap/ClapText.h"
#include "scan/common/ScanFailure.h"

namespace {

// False when memory ran out; the features read so far stay.
[[nodiscard]] bool ReadFeatures(const char* const* features, uint32_t index,
                                ClapFeatureList& list) {
    if (!features) return true;
    for (int32_t at = 0; features[at] != nullptr; ++at) {
        if (at == kMaxClapFeatures) {
            WriteWarning(L"Features of plugin descriptor %u cut after %i\n", index,
                         kMaxClapFeatures);
            return true;
        }
        WideString* feature = new (std::nothrow) WideString(ReadClapText(features[at]));
        if (!feature || !list.Add(feature)) return false;
    }
    return true;
}

// False when memory ran out; the plugin is then listed with what was read.
[[nodiscard]] bool AddPlugin(const clap_plugin_descriptor_t* found, uint32_t index,
                             ClapScanResult& result) {
    clap_plugin_descriptor_t descriptor = *found;
    CClapPlugin* plugin = new (std::nothrow) CClapPlugin;
    if (!plugin || !result.plugins.Add(plugin)) return false;
    plugin->id = ReadClapText(descriptor.id);
    plugin->name = ReadClapText(descriptor.name);
    plugin->vendor = ReadClapText(descriptor.vendor);
    plugin->version = ReadClapText(descriptor.version);
    plugin->description = ReadClapText(descriptor.description);
    plugin->url = ReadClapText(descriptor.url);
    plugin->manualUrl = ReadClapText(descriptor.manual_url);
    plugin->supportUrl = ReadClapText(descriptor.support_url);
    plugin->factoryId = descriptor.id;
    return ReadFeatures(descriptor.features, index, plugin->features);
}

uint32_t CountPlugins(const clap_plugin_factory_t& factory, const void* factoryPointer) {
    WriteInfo(L"Counting plugins...\n");
    uint32_t count = CallPlugin([&] {
        return factory.get_plugin_count(static_cast<const clap_plugin_factory_t*>(factoryPointer));
    });
    WriteInfo(L"Plugin count: %u\n", count);
    if (count <= kMaxClapPlugins) return count;
    WriteWarning(L"Plugin list cut after %u plugins\n", kMaxClapPlugins);
    return kMaxClapPlugins;
}

// Every descriptor is read before the first instance is created, so that a
// crash in an instance leaves no descriptor unread for the factory-only request.
void ReadInstances(const clap_plugin_factory_t& factory,
                   const clap_plugin_factory_t* factoryPointer, ClapScanResult& result) {
    result.instances = true;
    if (!factory.create_plugin) {
        WriteWarning(L"Plugin factory lacks create_plugin, no plugin created\n");
        for (int32_t at = 0; at < result.plugins.Count(); ++at) {
            Fail(result.plugins[at]->instanceError, L"factory lacks create_plugin");
        }
        return;
    }
    CClapHost host;
    StartClapHost(host);
    for (int32_t at = 0; at < result.plugins.Count(); ++at) {
        ReadClapInstance(factory, factoryPointer, host, at, *result.plugins[at]);
    }
}

// Some plugins end the process when asked for a descriptor at or past their
// count, so no index beyond it is ever asked.
[[nodiscard]] bool ListPlugins(const clap_plugin_entry_t& entry, bool factoryOnly,
                               ClapScanResult& result) {
    WriteInfo(L"Getting plugin factory...\n");
    const void* found = CallPlugin([&] { return entry.get_factory(CLAP_PLUGIN_FACTORY_ID); });
    if (!found) return Fail(result.error, L"No plugin factory: get_factory returned NULL");
    auto* factoryPointer = static_cast<const clap_plugin_factory_t*>(found);
    clap_plugin_factory_t factory = *factoryPointer;
    if (!factory.get_plugin_count || !factory.get_plugin_descriptor) {
        return Fail(result.error,
                    L"Plugin factory lacks get_plugin_count or get_plugin_descriptor");
    }
    uint32_t count = CountPlugins(factory, factoryPointer);
    for (uint32_t index = 0; index < count; ++index) {
        WriteInfo(L"Reading plugin descriptor %u...\n", index);
        const clap_plugin_descriptor_t* descriptor =
            CallPlugin([&] { return factory.get_plugin_descriptor(factoryPointer, index); });
        if (!descriptor) {
            WriteWarning(L"Plugin descriptor %u is NULL, left out\n", index);
        } else if (!AddPlugin(descriptor, index, result)) {
            WriteWarning(L"Plugin list cut after %i plugins, out of memory\n",
                         result.plugins.Count());
            break;
        }
    }
    if (!factoryOnly) ReadInstances(factory, factoryPointer, result);
    return true;
}

}  // namespace

bool ProbeClapPlugin(HMODULE module, const WideString& libraryPath, bool factoryOnly,
                     ClapScanResult& result) {
    WriteInfo(L"Looking for clap_entry in module %p\n", module);
    const void* exported = reinterpret_cast<const void*>(GetProcAddress(module, kClapEntrySymbol));
    if (!exported) {
        return Fail(result.error, L"Entry point clap_entry not found, not a CLAP plugin");
    }
    clap_plugin_entry_t entry = *static_cast<const clap_plugin_entry_t*>(exported);
    const clap_version_t& version = entry.clap_version;
    result.clapVersion = Format(L"%u.%u.%u", version.major, version.minor, version.revision);
    WriteInfo(L"Found clap_entry, CLAP version %s\n", result.clapVersion.Chars());
    if (version.major < kClapFirstSupportedMajor) {
        return Fail(result.error, L"Unsupported CLAP version %s", result.clapVersion.Chars());
    }
    if (!entry.init || !entry.deinit || !entry.get_factory) {
        return Fail(result.error, L"clap_entry lacks init, deinit or get_factory");
    }
    NarrowString path = ToUtf8(libraryPath.Chars());
    if (path.IsNull()) return Fail(result.error, L"Not enough memory for the plugin path");

    WriteInfo(L"Calling init...\n");
    bool initialised = CallPlugin([&] { return entry.init(path.Chars()); });
    // A library whose init failed must not be called again, deinit included.
    if (!initialised) return Fail(result.error, L"init returned false");

    bool listed = ListPlugins(entry, factoryOnly, result);
    WriteInfo(L"Calling deinit...\n");
    CallPlugin(entry.deinit);
    return listed;
}

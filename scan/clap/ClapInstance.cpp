#include "scan/clap/ClapInstance.h"

#include <new>

#include "channel/OutputChannel.h"
#include "crash/PluginCall.h"
#include "scan/clap/ClapHost.h"
#include "scan/clap/ClapReport.h"
#include "scan/clap/ClapText.h"
#include "scan/common/ReportRows.h"
#include "scan/common/ScanFailure.h"

const char* const kClapExtensionIds[kClapExtensionCount] = {
    CLAP_EXT_AUDIO_PORTS,
    CLAP_EXT_NOTE_PORTS,
    CLAP_EXT_PARAMS,
    CLAP_EXT_LATENCY,
    "clap.tail",
    "clap.state",
    "clap.gui",
    "clap.audio-ports-config",
    "clap.note-name",
    "clap.render",
    "clap.voice-info",
    "clap.remote-controls",
    "clap.remote-controls.draft/2",
};

namespace {

// The rate and block sizes a latency is asked at.
constexpr double kSampleRate = 48000.0;
constexpr uint32_t kMinFrames = 1;
constexpr uint32_t kMaxFrames = 4096;

// One instance: the plugin's record as it handed it, and the pointer every
// call takes.
struct ClapInstance {
    const clap_plugin_t* pointer;
    clap_plugin_t functions;
    int32_t at;
};

const wchar_t* SideName(bool isInput) {
    return isInput ? L"input" : L"output";
}

// What the plugin answers for each extension of the report's list.
using ClapExtensionPointers = const void* [kClapExtensionCount];

void AskExtensions(const ClapInstance& instance, CClapPlugin& plugin,
                   ClapExtensionPointers& found) {
    WriteInfo(L"Asking plugin %i for its extensions...\n", instance.at);
    for (int32_t at = 0; at < kClapExtensionCount; ++at) {
        found[at] = CallPlugin([&] {
            return instance.functions.get_extension(instance.pointer, kClapExtensionIds[at]);
        });
        plugin.extensions[at] = found[at] != nullptr;
    }
}

uint32_t BoundPortCount(uint32_t count, const wchar_t* kind, bool isInput, int32_t at) {
    if (count <= kMaxClapPorts) return count;
    WriteWarning(L"%s %ss of plugin %i cut after %u\n", kind, SideName(isInput), at, kMaxClapPorts);
    return kMaxClapPorts;
}

[[nodiscard]] bool AddAudioPort(const clap_audio_port_info_t& info, ClapAudioPortList& ports) {
    CClapAudioPort* port = new (std::nothrow) CClapAudioPort;
    if (!port || !ports.Add(port)) return false;
    port->name = ReadClapText(info.name, CLAP_NAME_SIZE);
    port->channels = info.channel_count;
    port->main = (info.flags & CLAP_AUDIO_PORT_IS_MAIN) != 0;
    port->portType = ReadClapText(info.port_type);
    return true;
}

[[nodiscard]] bool ReadAudioSide(const ClapInstance& instance,
                                 const clap_plugin_audio_ports_t& extension, bool isInput,
                                 ClapAudioPortList& ports, WideString& error) {
    uint32_t count = CallPlugin([&] { return extension.count(instance.pointer, isInput); });
    count = BoundPortCount(count, L"Audio", isInput, instance.at);
    for (uint32_t index = 0; index < count; ++index) {
        clap_audio_port_info_t info = {};
        bool got =
            CallPlugin([&] { return extension.get(instance.pointer, index, isInput, &info); });
        if (!got) {
            return Fail(error, L"audio-ports get returned false for %s %u", SideName(isInput),
                        index);
        }
        if (!AddAudioPort(info, ports)) return Fail(error, L"Out of memory reading audio ports");
    }
    return true;
}

[[nodiscard]] bool ReadAudioPorts(const ClapInstance& instance, const void* found,
                                  CClapPlugin& plugin) {
    if (!found) return true;
    WriteInfo(L"Reading audio ports of plugin %i...\n", instance.at);
    clap_plugin_audio_ports_t extension = *static_cast<const clap_plugin_audio_ports_t*>(found);
    if (!extension.count || !extension.get) {
        return Fail(plugin.instanceError, L"audio-ports lacks count or get");
    }
    return ReadAudioSide(instance, extension, true, plugin.audioInputs, plugin.instanceError) &&
           ReadAudioSide(instance, extension, false, plugin.audioOutputs, plugin.instanceError);
}

[[nodiscard]] bool AddNotePort(const clap_note_port_info_t& info, ClapNotePortList& ports) {
    CClapNotePort* port = new (std::nothrow) CClapNotePort;
    if (!port || !ports.Add(port)) return false;
    port->name = ReadClapText(info.name, CLAP_NAME_SIZE);
    port->dialects = info.supported_dialects;
    port->preferred = info.preferred_dialect;
    return true;
}

[[nodiscard]] bool ReadNoteSide(const ClapInstance& instance,
                                const clap_plugin_note_ports_t& extension, bool isInput,
                                ClapNotePortList& ports, WideString& error) {
    uint32_t count = CallPlugin([&] { return extension.count(instance.pointer, isInput); });
    count = BoundPortCount(count, L"Note", isInput, instance.at);
    for (uint32_t index = 0; index < count; ++index) {
        clap_note_port_info_t info = {};
        bool got =
            CallPlugin([&] { return extension.get(instance.pointer, index, isInput, &info); });
        if (!got) {
            return Fail(error, L"note-ports get returned false for %s %u", SideName(isInput),
                        index);
        }
        if (!AddNotePort(info, ports)) return Fail(error, L"Out of memory reading note ports");
    }
    return true;
}

[[nodiscard]] bool ReadNotePorts(const ClapInstance& instance, const void* found,
                                 CClapPlugin& plugin) {
    if (!found) return true;
    WriteInfo(L"Reading note ports of plugin %i...\n", instance.at);
    clap_plugin_note_ports_t extension = *static_cast<const clap_plugin_note_ports_t*>(found);
    if (!extension.count || !extension.get) {
        return Fail(plugin.instanceError, L"note-ports lacks count or get");
    }
    return ReadNoteSide(instance, extension, true, plugin.noteInputs, plugin.instanceError) &&
           ReadNoteSide(instance, extension, false, plugin.noteOutputs, plugin.instanceError);
}

void CountParameters(const ClapInstance& instance, const void* found, CClapPlugin& plugin) {
    if (!found) return;
    clap_plugin_params_t extension = *static_cast<const clap_plugin_params_t*>(found);
    if (!extension.count) return;
    WriteInfo(L"Counting parameters of plugin %i...\n", instance.at);
    plugin.parameters = CallPlugin([&] { return extension.count(instance.pointer); });
}

// The latency is only sure once the plugin is activated; a plugin that does
// not activate simply has none reported.
void ReadLatency(const ClapInstance& instance, const void* found, CClapPlugin& plugin) {
    if (!found || !instance.functions.activate || !instance.functions.deactivate) return;
    clap_plugin_latency_t extension = *static_cast<const clap_plugin_latency_t*>(found);
    if (!extension.get) return;
    WriteInfo(L"Activating plugin %i...\n", instance.at);
    bool active = CallPlugin([&] {
        return instance.functions.activate(instance.pointer, kSampleRate, kMinFrames, kMaxFrames);
    });
    if (!active) {
        WriteInfo(L"activate returned false, latency not read\n");
        return;
    }
    WriteInfo(L"Reading latency of plugin %i...\n", instance.at);
    plugin.latencySamples = CallPlugin([&] { return extension.get(instance.pointer); });
    WriteInfo(L"Deactivating plugin %i...\n", instance.at);
    CallPlugin([&] { instance.functions.deactivate(instance.pointer); });
}

// Stops at the first step that fails.
void ReadInitialisedInstance(const ClapInstance& instance, CClapPlugin& plugin) {
    ClapExtensionPointers found = {};
    AskExtensions(instance, plugin, found);
    if (!ReadAudioPorts(instance, found[static_cast<int32_t>(ClapExtension::kAudioPorts)],
                        plugin) ||
        !ReadNotePorts(instance, found[static_cast<int32_t>(ClapExtension::kNotePorts)], plugin)) {
        return;
    }
    CountParameters(instance, found[static_cast<int32_t>(ClapExtension::kParams)], plugin);
    ReadLatency(instance, found[static_cast<int32_t>(ClapExtension::kLatency)], plugin);
}

void NoteInstanceError(const CClapPlugin& plugin, int32_t at) {
    if (plugin.instanceError.IsNull()) return;
    WriteWarning(L"Plugin %i: %s\n", at, plugin.instanceError.Chars());
}

}  // namespace

void ReadClapInstance(const clap_plugin_factory_t& factory,
                      const clap_plugin_factory_t* factoryPointer, const CClapHost& host,
                      int32_t at, CClapPlugin& plugin) {
    if (!plugin.factoryId) {
        Fail(plugin.instanceError, L"descriptor has no id");
        return NoteInstanceError(plugin, at);
    }
    WideString shownId = ShownClapText(plugin.factoryId);
    WriteInfo(L"Creating plugin %i '%s'...\n", at, TextOrEmpty(shownId));
    const clap_plugin_t* created = CallPlugin(
        [&] { return factory.create_plugin(factoryPointer, &host.host, plugin.factoryId); });
    if (!created) {
        Fail(plugin.instanceError, L"create_plugin returned NULL");
        return NoteInstanceError(plugin, at);
    }
    ClapInstance instance = {created, *created, at};
    // Without destroy an instance could not be ended, so it is not initialised.
    if (!instance.functions.init || !instance.functions.destroy ||
        !instance.functions.get_extension) {
        Fail(plugin.instanceError, L"plugin lacks init, destroy or get_extension");
        return NoteInstanceError(plugin, at);
    }
    WriteInfo(L"Initialising plugin %i...\n", at);
    bool initialised = CallPlugin([&] { return instance.functions.init(created); });
    if (initialised) {
        ReadInitialisedInstance(instance, plugin);
    } else {
        Fail(plugin.instanceError, L"init returned false");
    }
    WriteInfo(L"Destroying plugin %i...\n", at);
    CallPlugin([&] { instance.functions.destroy(created); });
    NoteInstanceError(plugin, at);
}

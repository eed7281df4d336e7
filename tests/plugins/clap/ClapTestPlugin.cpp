// One CLAP plugin file for the scan server's tests, built many times over:
// compile definitions choose its descriptors, its CLAP version and the way it
// misbehaves. Each descriptor's instance has its own ports, parameters,
// latency and extensions. tests/plugins/README.md lists every build and what
// a scan reports.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "scan/clap/Clap.h"

enum class Descriptors { Several, OddTexts, SynthOnly, ManyWarnings };
enum class Mischief {
    None,
    InitFails,
    NullFactory,
    CrashInInit,
    CrashInDescriptor,
    CrashInDeinit,
    HangInInit,
    // Sets its own unhandled-exception filter in get_plugin_descriptor(0) and
    // faults in get_plugin_descriptor(1).
    OwnFilterThenCrashInDescriptor,
    // The instance steps, for every plugin of the file.
    CreateReturnsNull,
    InstanceInitFails,
    HangInInstanceInit,
    ActivateFails,
    CrashInAudioPortsGet,
    NotePortsGetFails,
    // Hands the server a descriptor pointer that points nowhere, for index 1.
    BadDescriptorPointer,
    // Sets its own unhandled-exception filter in init and faults right after.
    OwnFilterAndCrashInInit,
};

#ifndef CLAP_DESCRIPTORS
#define CLAP_DESCRIPTORS Several
#endif
#ifndef CLAP_MAJOR
#define CLAP_MAJOR 1
#endif
#ifndef CLAP_MINOR
#define CLAP_MINOR 2
#endif
#ifndef CLAP_REVISION
#define CLAP_REVISION 0
#endif
#ifndef CLAP_MISCHIEF
#define CLAP_MISCHIEF None
#endif

namespace {

constexpr Descriptors kDescriptors = Descriptors::CLAP_DESCRIPTORS;
constexpr Mischief kMischief = Mischief::CLAP_MISCHIEF;
constexpr clap_version_t kVersion = {CLAP_MAJOR, CLAP_MINOR, CLAP_REVISION};
// What a real plugin collection does when asked for a descriptor past its count.
constexpr UINT kAskedPastCountExitCode = 3;
// Exit code of the plugin's own unhandled-exception filter, so that a test can
// tell it apart from the server's filter (exit code 9).
constexpr UINT kOwnFilterExitCode = 42;

void Fault() {
    volatile int* volatile target = nullptr;
    *target = 1;
}

LONG WINAPI OwnUnhandledExceptionFilter(EXCEPTION_POINTERS*) {
    TerminateProcess(GetCurrentProcess(), kOwnFilterExitCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

// The path init was given, shown as the description of the last plugin of
// "Several", so a test sees what arrived.
char initPath[MAX_PATH * 3 + 1];

const char* const kSynthFeatures[] = {"instrument", "synthesizer", "stereo", nullptr};
const char* const kDelayFeatures[] = {"audio-effect", "delay", nullptr};
const char* const kAnalyzerFeatures[] = {"analyzer", nullptr};

const clap_plugin_descriptor_t kSeveral[] = {
    {kVersion, "org.marlowind.test.synth", "Test CLAP Synth", "Marlowind Tests",
     "https://example.com/synth", "https://example.com/synth/manual", "https://example.com/support",
     "1.4.2", "A synth with every text", kSynthFeatures},
    {kVersion, "org.marlowind.test.delay", "Test CLAP Delay", "Marlowind Tests",
     "https://example.com/delay", nullptr, nullptr, "0.9", "An echo", kDelayFeatures},
    {kVersion, "org.marlowind.test.analyzer", "Test CLAP Analyzer", "Marlowind Tests", nullptr,
     nullptr, nullptr, "2.0.0-beta", initPath, kAnalyzerFeatures},
};

// 5000 bytes without a zero, then one: the server reads only the first 4096.
struct LongText {
    char bytes[5001];
};

constexpr LongText MakeLongText() {
    LongText text = {};
    for (int at = 0; at < 5000; ++at) text.bytes[at] = "0123456789abcdef"[at % 16];
    return text;
}

constexpr LongText kLongText = MakeLongText();
const char* const kNoFeatures[] = {nullptr};

// A null descriptor, one with every pointer null, and one with texts a
// reader must not take at face value.
const clap_plugin_descriptor_t kNullTexts = {kVersion, nullptr, nullptr, nullptr, nullptr,
                                             nullptr,  nullptr, nullptr, nullptr, nullptr};
const clap_plugin_descriptor_t kOddTexts = {kVersion,
                                            "org.marlowind.test.odd",
                                            "Caf\xC3\xA9 \xF0\x9D\x84\x9E",
                                            "Bad \xC3 \xF0\x9F\x8E end",
                                            "",
                                            nullptr,
                                            nullptr,
                                            "\"1\"\t\\2/",
                                            kLongText.bytes,
                                            kNoFeatures};
const clap_plugin_descriptor_t* const kOdd[] = {nullptr, &kNullTexts, &kOddTexts};

// 220 descriptors and 112 warnings: the even ones are null, descriptors 1 and
// 3 have one feature more than the server reads, the other odd ones none.
constexpr uint32_t kManyCount = 220;

struct TooManyFeatures {
    const char* list[1002];
};

constexpr TooManyFeatures MakeTooManyFeatures() {
    TooManyFeatures features = {};
    for (int at = 0; at < 1001; ++at) features.list[at] = "feature";
    return features;
}

constexpr TooManyFeatures kTooManyFeatures = MakeTooManyFeatures();
const clap_plugin_descriptor_t kWithTooManyFeatures = {
    kVersion, "org.marlowind.test.many", "Many", "", "", "", "", "1", "", kTooManyFeatures.list};
const clap_plugin_descriptor_t kWithoutFeatures = {
    kVersion, "org.marlowind.test.plain", "Plain", "", "", "", "", "1", "", kNoFeatures};

constexpr uint32_t kPluginCount = kDescriptors == Descriptors::ManyWarnings ? kManyCount
                                  : kDescriptors == Descriptors::SynthOnly  ? 1
                                                                            : 3;

uint32_t GetPluginCount(const clap_plugin_factory_t*) {
    return kPluginCount;
}

const clap_plugin_descriptor_t* GetPluginDescriptor(const clap_plugin_factory_t*, uint32_t index) {
    if (index >= kPluginCount) ExitProcess(kAskedPastCountExitCode);
    if (kMischief == Mischief::CrashInDescriptor && index == 1) Fault();
    if (kMischief == Mischief::OwnFilterThenCrashInDescriptor) {
        if (index == 0) SetUnhandledExceptionFilter(OwnUnhandledExceptionFilter);
        if (index == 1) Fault();
    }
    if (kMischief == Mischief::BadDescriptorPointer && index == 1) {
        return reinterpret_cast<const clap_plugin_descriptor_t*>(16);
    }
    if (kDescriptors == Descriptors::ManyWarnings) {
        if (index % 2 == 0) return nullptr;
        return index <= 3 ? &kWithTooManyFeatures : &kWithoutFeatures;
    }
    return kDescriptors == Descriptors::OddTexts ? kOdd[index] : &kSeveral[index];
}

// What each descriptor's instance has, found by the descriptor's id.
struct Instrument {
    const char* id;
    const clap_audio_port_info_t* audioInputs;
    uint32_t audioInputCount;
    const clap_audio_port_info_t* audioOutputs;
    uint32_t audioOutputCount;
    const clap_note_port_info_t* noteInputs;
    uint32_t noteInputCount;
    const clap_note_port_info_t* noteOutputs;
    uint32_t noteOutputCount;
    uint32_t parameters;  // no params extension when 0
    // The latency once activated, and before (what a host that asks too early gets).
    uint32_t activeLatency;
    uint32_t inactiveLatency;
    bool hasLatency;
    const char* const* extensions;  // the other ids it answers, null-terminated
    // A line for the host's log in init, and its severity.
    const char* logLine;
    int32_t logSeverity;
};

constexpr uint32_t kPortFlagsMain = CLAP_AUDIO_PORT_IS_MAIN | 2;

const clap_audio_port_info_t kSynthOutputs[] = {
    {0, "Main Out", kPortFlagsMain, 2, "stereo", 0},
    {1, "Aux Out", 0, 1, "mono", 0xFFFFFFFF},
};
const clap_note_port_info_t kSynthNotes[] = {{0, 1 | 2 | 4, 1, "Notes"}};
const char* const kSynthExtensions[] = {
    "clap.state", "clap.gui", "clap.note-name", "clap.voice-info", "clap.remote-controls", nullptr};

const clap_audio_port_info_t kDelayInputs[] = {
    {0, "Main In", CLAP_AUDIO_PORT_IS_MAIN, 2, "stereo", 0},
    {1, "Side Chain", 0, 2, "stereo", 0xFFFFFFFF},
};
const clap_audio_port_info_t kDelayOutputs[] = {
    {0, "Main Out", CLAP_AUDIO_PORT_IS_MAIN, 2, "stereo", 0}};
const char* const kDelayExtensions[] = {"clap.tail", "clap.audio-ports-config", "clap.render",
                                        "clap.remote-controls.draft/2", nullptr};

const clap_audio_port_info_t kAnalyzerInputs[] = {
    {0, "In", CLAP_AUDIO_PORT_IS_MAIN, 2, nullptr, 0xFFFFFFFF}};
const clap_note_port_info_t kAnalyzerNotes[] = {{0, 2 | 8, 8, "MIDI Out"}};
const char* const kNoExtensions[] = {nullptr};

// A name that fills its whole field, without a terminator.
constexpr clap_audio_port_info_t MakeUnendedPort() {
    clap_audio_port_info_t port = {};
    for (uint32_t at = 0; at < CLAP_NAME_SIZE; ++at) port.name[at] = "0123456789abcdef"[at % 16];
    port.channel_count = 1;
    port.port_type = "cv";
    return port;
}
const clap_audio_port_info_t kOddInputs[] = {MakeUnendedPort()};

const Instrument kInstruments[] = {
    {"org.marlowind.test.synth", nullptr, 0, kSynthOutputs, 2, kSynthNotes, 1, nullptr, 0, 4, 256,
     0, true, kSynthExtensions, nullptr, 0},
    {"org.marlowind.test.delay", kDelayInputs, 2, kDelayOutputs, 1, nullptr, 0, nullptr, 0, 2, 64,
     64, true, kDelayExtensions, "Delay line\tready\n", 1},
    {"org.marlowind.test.analyzer", kAnalyzerInputs, 1, nullptr, 0, nullptr, 0, kAnalyzerNotes, 1,
     0, 0, 0, false, kNoExtensions, nullptr, 0},
    {"org.marlowind.test.many", nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, 0, 0, 0, false,
     kNoExtensions, nullptr, 0},
    {"org.marlowind.test.plain", nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, 0, 0, 0, false,
     kNoExtensions, nullptr, 0},
    {"org.marlowind.test.odd", kOddInputs, 1, nullptr, 0, nullptr, 0, nullptr, 0, 0, 0, 0, false,
     kNoExtensions,
     "No \x1b"
     "colour",
     3},
};

struct Instance {
    clap_plugin_t plugin;
    const clap_host_t* host;
    const Instrument* instrument;
    bool initialised;
    bool active;
};

const Instance& InstanceOf(const clap_plugin_t* plugin) {
    return *static_cast<const Instance*>(plugin->plugin_data);
}

Instance& MutableInstanceOf(const clap_plugin_t* plugin) {
    return *static_cast<Instance*>(plugin->plugin_data);
}

uint32_t CountAudioPorts(const clap_plugin_t* plugin, bool isInput) {
    const Instrument& instrument = *InstanceOf(plugin).instrument;
    return isInput ? instrument.audioInputCount : instrument.audioOutputCount;
}

// Asked past its count, or with no place for the answer, it faults.
bool GetAudioPort(const clap_plugin_t* plugin, uint32_t index, bool isInput,
                  clap_audio_port_info_t* info) {
    if (kMischief == Mischief::CrashInAudioPortsGet || index >= CountAudioPorts(plugin, isInput)) {
        Fault();
    }
    const Instrument& instrument = *InstanceOf(plugin).instrument;
    *info = (isInput ? instrument.audioInputs : instrument.audioOutputs)[index];
    return true;
}

const clap_plugin_audio_ports_t kAudioPorts = {CountAudioPorts, GetAudioPort};

uint32_t CountNotePorts(const clap_plugin_t* plugin, bool isInput) {
    const Instrument& instrument = *InstanceOf(plugin).instrument;
    return isInput ? instrument.noteInputCount : instrument.noteOutputCount;
}

bool GetNotePort(const clap_plugin_t* plugin, uint32_t index, bool isInput,
                 clap_note_port_info_t* info) {
    if (index >= CountNotePorts(plugin, isInput)) Fault();
    if (kMischief == Mischief::NotePortsGetFails) return false;
    const Instrument& instrument = *InstanceOf(plugin).instrument;
    *info = (isInput ? instrument.noteInputs : instrument.noteOutputs)[index];
    return true;
}

const clap_plugin_note_ports_t kNotePorts = {CountNotePorts, GetNotePort};

uint32_t CountParameters(const clap_plugin_t* plugin) {
    return InstanceOf(plugin).instrument->parameters;
}

const clap_plugin_params_t kParams = {CountParameters, nullptr, nullptr, nullptr, nullptr, nullptr};

uint32_t GetLatency(const clap_plugin_t* plugin) {
    const Instance& instance = InstanceOf(plugin);
    return instance.active ? instance.instrument->activeLatency
                           : instance.instrument->inactiveLatency;
}

const clap_plugin_latency_t kLatency = {GetLatency};

// Any record will do for an extension whose presence alone is read.
const int kPresent = 1;

// Asked before init, it faults, as a plugin that reads its state would.
const void* GetPluginExtension(const clap_plugin_t* plugin, const char* id) {
    const Instance& instance = InstanceOf(plugin);
    if (!instance.initialised) Fault();
    const Instrument& instrument = *instance.instrument;
    if (std::strcmp(id, "clap.audio-ports") == 0) return &kAudioPorts;
    if (std::strcmp(id, "clap.note-ports") == 0) {
        return instrument.noteInputCount + instrument.noteOutputCount ? &kNotePorts : nullptr;
    }
    if (std::strcmp(id, "clap.params") == 0) return instrument.parameters ? &kParams : nullptr;
    if (std::strcmp(id, "clap.latency") == 0) return instrument.hasLatency ? &kLatency : nullptr;
    for (const char* const* other = instrument.extensions; *other; ++other) {
        if (std::strcmp(id, *other) == 0) return &kPresent;
    }
    return nullptr;
}

// Tells the host's names and threads through its log, so a test sees them.
void LogHost(const clap_host_t* host, const Instrument& instrument) {
    auto* log = static_cast<const clap_host_log_t*>(host->get_extension(host, "clap.log"));
    auto* threads = static_cast<const clap_host_thread_check_t*>(
        host->get_extension(host, "clap.thread-check"));
    if (!log || !threads || host->get_extension(host, "clap.timer-support")) Fault();
    char line[512];
    std::snprintf(line, sizeof(line), "%s %s by %s (%s), main thread %d, audio thread %d",
                  host->name, host->version, host->vendor, host->url, threads->is_main_thread(host),
                  threads->is_audio_thread(host));
    log->log(host, 0, line);
    if (instrument.logLine) log->log(host, instrument.logSeverity, instrument.logLine);
}

bool InitPlugin(const clap_plugin_t* plugin) {
    if (kMischief == Mischief::HangInInstanceInit) Sleep(INFINITE);
    Instance& instance = MutableInstanceOf(plugin);
    if (kMischief == Mischief::InstanceInitFails) return false;
    LogHost(instance.host, *instance.instrument);
    instance.initialised = true;
    return true;
}

// Destroyed while active, it faults, as a plugin that frees its buffers would.
void DestroyPlugin(const clap_plugin_t* plugin) {
    Instance* instance = &MutableInstanceOf(plugin);
    if (instance->active) Fault();
    delete instance;
}

bool Activate(const clap_plugin_t* plugin, double rate, uint32_t minFrames, uint32_t maxFrames) {
    Instance& instance = MutableInstanceOf(plugin);
    if (!instance.initialised || instance.active || rate <= 0 || minFrames < 1 ||
        maxFrames < minFrames) {
        Fault();
    }
    if (kMischief == Mischief::ActivateFails) return false;
    instance.active = true;
    return true;
}

void Deactivate(const clap_plugin_t* plugin) {
    Instance& instance = MutableInstanceOf(plugin);
    if (!instance.active) Fault();
    instance.active = false;
}

const clap_plugin_t* CreatePlugin(const clap_plugin_factory_t*, const clap_host_t* host,
                                  const char* pluginId) {
    if (kMischief == Mischief::CreateReturnsNull || !host || !pluginId) return nullptr;
    for (const Instrument& instrument : kInstruments) {
        if (std::strcmp(instrument.id, pluginId) != 0) continue;
        Instance* instance = new Instance{};
        instance->plugin = {
            nullptr, instance, InitPlugin, DestroyPlugin, Activate,           Deactivate,
            nullptr, nullptr,  nullptr,    nullptr,       GetPluginExtension, nullptr};
        instance->host = host;
        instance->instrument = &instrument;
        return &instance->plugin;
    }
    return nullptr;
}

const clap_plugin_factory_t kFactory = {GetPluginCount, GetPluginDescriptor, CreatePlugin};

bool Init(const char* path) {
    if (kMischief == Mischief::OwnFilterAndCrashInInit) {
        SetUnhandledExceptionFilter(OwnUnhandledExceptionFilter);
        Fault();
    }
    if (kMischief == Mischief::CrashInInit) Fault();
    if (kMischief == Mischief::HangInInit) Sleep(INFINITE);
    if (kMischief == Mischief::InitFails) return false;
    strncpy(initPath, path, sizeof(initPath) - 1);
    return true;
}

// Also the trap for a server that calls deinit after a failed init.
void Deinit() {
    if (kMischief == Mischief::CrashInDeinit || kMischief == Mischief::InitFails) Fault();
}

const void* GetFactory(const char* factoryId) {
    if (kMischief == Mischief::NullFactory) return nullptr;
    return std::strcmp(factoryId, CLAP_PLUGIN_FACTORY_ID) == 0 ? &kFactory : nullptr;
}

}  // namespace

extern "C" __declspec(dllexport) const clap_plugin_entry_t clap_entry = {kVersion, Init, Deinit,
                                                                         GetFactory};

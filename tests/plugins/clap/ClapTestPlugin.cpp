// One CLAP plugin file for the scan server's tests, built many times over:
// compile definitions choose its descriptors, its CLAP version and the way it
// misbehaves. tests/plugins/README.md lists every build and what a scan reports.
#include <windows.h>

#include <cstring>

#include "scan/clap/Clap.h"

enum class Descriptors { Several, OddTexts };
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

constexpr uint32_t kPluginCount = 3;

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
    return kDescriptors == Descriptors::Several ? &kSeveral[index] : kOdd[index];
}

const void* CreatePlugin(const clap_plugin_factory_t*, const void*, const char*) {
    // Creating an instance is never part of a scan.
    Fault();
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

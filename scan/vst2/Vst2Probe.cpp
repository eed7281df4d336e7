#include "scan/vst2/Vst2Probe.h"

#include <new>

#include "channel/OutputChannel.h"
#include "crash/PluginCall.h"
#include "foundation/ControlText.h"
#include "scan/common/ScanFailure.h"
#include "scan/vst2/Vst2.h"
#include "scan/vst2/Vst2HostCallback.h"
#include "scan/vst2/Vst2Report.h"
#include "scan/vst2/Vst2Version.h"

namespace {

constexpr int32_t kStringBufferBytes = 512;
constexpr int32_t kCanDoNo = -1;

intptr_t Dispatch(AEffect* effect, int32_t opcode, void* ptr) {
    return CallPlugin([&] { return effect->dispatcher(effect, opcode, 0, 0, ptr, 0.0f); });
}

// Asks one of the plugin's 512-byte string questions; a plugin that fills the
// whole buffer without a terminator is cut at 512 bytes.
WideString QueryString(AEffect* effect, int32_t opcode) {
    char buffer[kStringBufferBytes + 1];
    buffer[0] = 0;
    Dispatch(effect, opcode, buffer);
    buffer[kStringBufferBytes] = 0;
    return FromNarrow(buffer);
}

int32_t QueryCanDo(AEffect* effect, const char* capability) {
    return static_cast<int32_t>(Dispatch(effect, effCanDo, const_cast<char*>(capability)));
}

VstEntryPoint FindEntryPoint(HMODULE module) {
    if (FARPROC found = GetProcAddress(module, "VSTPluginMain")) {
        WriteInfo(L"Found VSTPluginMain()\n");
        return reinterpret_cast<VstEntryPoint>(reinterpret_cast<void*>(found));
    }
    if (FARPROC found = GetProcAddress(module, "main")) {
        WriteInfo(L"Found main()\n");
        return reinterpret_cast<VstEntryPoint>(reinterpret_cast<void*>(found));
    }
    return nullptr;
}

// Answers 0 ("don't know") count as yes; only -1 is no.
bool AnswersYes(AEffect* effect, const char* capability, const char* fallback) {
    return QueryCanDo(effect, capability) != kCanDoNo || QueryCanDo(effect, fallback) != kCanDoNo;
}

void SettleCategory(const AEffect* effect, Vst2ScanResult& result) {
    if (effect->flags & effFlagsIsSynth) {
        result.category = kPlugCategSynth;
    } else if (result.category == kPlugCategUnknown) {
        result.category = effect->numInputs != 0 ? kPlugCategEffect : kPlugCategSynth;
    }
}

void WarnOutOfMemory(const Vst2ScanResult& result) {
    WriteWarning(L"Shell listing cut after %i sub-plugins, out of memory\n", result.shells.Count());
}

// The list is looked through: it holds at most kMaxShellListing ids.
bool IsListed(const ShellList& shells, int32_t id) {
    for (int32_t i = 0; i < shells.Count(); ++i) {
        if (shells[i]->id == id) return true;
    }
    return false;
}

void ListShellPlugins(AEffect* effect, Vst2ScanResult& result) {
    for (int answers = 0;; ++answers) {
        if (answers == kMaxShellListing) {
            WriteWarning(L"Shell listing cut after %i sub-plugins\n", kMaxShellListing);
            return;
        }
        NarrowString name;
        char* buffer = name.GetBuffer(kStringBufferBytes);
        if (!buffer) return WarnOutOfMemory(result);
        // Emptied first, so a plugin that writes no name is not reported with
        // the bytes of an earlier answer.
        buffer[0] = 0;
        int32_t id = static_cast<int32_t>(Dispatch(effect, effShellGetNextPlugin, buffer));
        if (id == 0) return;
        NarrowString shown = EscapeControlCharacters(name.Chars());
        WriteInfo(L"Found shell: %.8X - %S\n", id, shown.Chars());
        if (IsListed(result.shells, id)) {
            WriteInfo(L"   - duplicate, ignoring\n");
            continue;
        }
        CShellInfo* shell = new (std::nothrow) CShellInfo(id, FromNarrow(name.Chars()));
        if (!shell || !result.shells.Add(shell)) return WarnOutOfMemory(result);
    }
}

}  // namespace

bool ProbeVst2Plugin(HMODULE module, Vst2ScanResult& result) {
    WriteInfo(L"Looking for entry point in module %p\n", module);
    if (GetProcAddress(module, "JBridgeBootstrap")) {
        return Fail(result.error, L"Module is a jBridge bootstrap, ignoring");
    }
    VstEntryPoint entryPoint = FindEntryPoint(module);
    if (!entryPoint) return Fail(result.error, L"Entry point not found, not a VST plugin");

    WantsMidiFlag = false;
    WriteInfo(L"Calling entry point...\n");
    AEffect* effect = CallPlugin([entryPoint] { return entryPoint(Vst2HostCallback); });
    if (!effect) return Fail(result.error, L"Entry point returned NULL");
    if (effect->magic != kEffectMagic) return Fail(result.error, L"Bad magic");

    result.synthEdit = FindResourceW(module, MAKEINTRESOURCEW(165), L"SE1") != nullptr;
    result.name = QueryString(effect, effGetEffectName);
    result.vendor = QueryString(effect, effGetVendorString);
    result.product = QueryString(effect, effGetProductString);
    result.id = effect->uniqueID;
    result.category = static_cast<int32_t>(Dispatch(effect, effGetPlugCategory, nullptr));
    result.numInputs = effect->numInputs;
    result.numOutputs = effect->numOutputs;
    result.wantsMidi =
        AnswersYes(effect, "receiveVstMidiEvent", "receiveVstEvents") || WantsMidiFlag;
    result.sendsMidi = AnswersYes(effect, "sendVstMidiEvent", "sendVstEvents");
    result.audio64 = (effect->flags & effFlagsCanDoubleReplacing) != 0;
    result.version =
        FormatVst2Version(static_cast<int32_t>(Dispatch(effect, effGetVendorVersion, nullptr)));
    SettleCategory(effect, result);
    if (result.category == kPlugCategShell) ListShellPlugins(effect, result);

    WriteInfo(L"Dispatching effClose...\n");
    Dispatch(effect, effClose, nullptr);
    return true;
}

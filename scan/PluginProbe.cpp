#include "scan/PluginProbe.h"

#include <new>

#include "channel/OutputChannel.h"
#include "crash/CrashFilter.h"
#include "foundation/ControlText.h"
#include "scan/HostCallback.h"
#include "scan/PluginVersion.h"
#include "scan/ScanResult.h"

namespace {

constexpr int32_t kStringBufferBytes = 512;
constexpr int32_t kCanDoNo = -1;

intptr_t Dispatch(AEffect* effect, int32_t opcode, void* ptr) {
    return effect->dispatcher(effect, opcode, 0, 0, ptr, 0.0f);
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

bool Fail(ScanResult& result, const wchar_t* error) {
    if (!result.error.Assign(error)) result.error.Release();
    return false;
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

void SettleCategory(const AEffect* effect, ScanResult& result) {
    if (effect->flags & effFlagsIsSynth) {
        result.category = kPlugCategSynth;
    } else if (result.category == kPlugCategUnknown) {
        result.category = effect->numInputs != 0 ? kPlugCategEffect : kPlugCategSynth;
    }
}

void WarnOutOfMemory(const ScanResult& result) {
    WriteWarning(L"Shell listing cut after %i sub-plugins, out of memory\n", result.shells.Count());
}

void ListShellPlugins(AEffect* effect, ScanResult& result) {
    ShellIdSet seen;
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
        if (seen.Lookup(id)) {
            WriteInfo(L"   - duplicate, ignoring\n");
            continue;
        }
        bool present = true;
        if (!seen.SetAt(id, present)) return WarnOutOfMemory(result);
        CShellInfo* shell = new (std::nothrow) CShellInfo(id, FromNarrow(name.Chars()));
        if (!shell || !result.shells.Add(shell)) return WarnOutOfMemory(result);
    }
}

}  // namespace

WideString QueryVendorString(AEffect* effect) {
    return QueryString(effect, effGetVendorString);
}

int32_t QueryCanDo(AEffect* effect, const char* capability) {
    return static_cast<int32_t>(Dispatch(effect, effCanDo, const_cast<char*>(capability)));
}

bool ProbePlugin(HMODULE module, ScanResult& result) {
    WriteInfo(L"Looking for entry point in module %p\n", module);
    if (GetProcAddress(module, "JBridgeBootstrap")) {
        return Fail(result, L"Module is a jBridge bootstrap, ignoring");
    }
    VstEntryPoint entryPoint = FindEntryPoint(module);
    if (!entryPoint) return Fail(result, L"Entry point not found, not a VST plugin");

    WantsMidiFlag = false;
    InstallCrashFilter();
    WriteInfo(L"Calling entry point...\n");
    AEffect* effect = entryPoint(HostCallback);
    InstallCrashFilter();
    if (!effect) return Fail(result, L"Entry point returned NULL");
    if (effect->magic != kEffectMagic) return Fail(result, L"Bad magic");
    InstallCrashFilter();

    result.synthEdit = FindResourceW(module, MAKEINTRESOURCEW(165), L"SE1") != nullptr;
    result.name = QueryString(effect, effGetEffectName);
    result.vendor = QueryVendorString(effect);
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
        FormatPluginVersion(static_cast<int32_t>(Dispatch(effect, effGetVendorVersion, nullptr)));
    SettleCategory(effect, result);
    if (result.category == kPlugCategShell) ListShellPlugins(effect, result);

    WriteInfo(L"Dispatching effClose...\n");
    Dispatch(effect, effClose, nullptr);
    InstallCrashFilter();
    return true;
}

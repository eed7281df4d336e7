#include "bench/InProcessScan.h"

#include <vector>

#include "bench/Statistics.h"
#include "foundation/SharedString.h"
#include "scan/Vst2.h"

namespace {

constexpr int kStringBufferBytes = 512;
constexpr int kFilterInstallations = 5;

intptr_t QuietHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

intptr_t Dispatch(AEffect* effect, int32_t opcode, void* ptr) {
    return effect->dispatcher(effect, opcode, 0, 0, ptr, 0.0f);
}

void QueryString(AEffect* effect, int32_t opcode) {
    char buffer[kStringBufferBytes + 1];
    buffer[0] = 0;
    Dispatch(effect, opcode, buffer);
}

// Sends a canDo query and, when it answers no, its fallback, as a scan does.
void QueryCanDo(AEffect* effect, const char* capability, const char* fallback) {
    if (static_cast<int32_t>(Dispatch(effect, effCanDo, const_cast<char*>(capability))) != -1) {
        return;
    }
    Dispatch(effect, effCanDo, const_cast<char*>(fallback));
}

}  // namespace

bool ScanInProcess(const wchar_t* libraryPath, InProcessTimes* times) {
    double started = NowMilliseconds();
    HMODULE module = LoadLibraryExW(libraryPath, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module) return false;
    double loaded = NowMilliseconds();
    FARPROC found = GetProcAddress(module, "VSTPluginMain");
    AEffect* effect = nullptr;
    if (found) {
        auto entryPoint = reinterpret_cast<VstEntryPoint>(reinterpret_cast<void*>(found));
        effect = entryPoint(QuietHost);
    }
    bool scanned = effect && effect->magic == kEffectMagic;
    if (scanned) {
        QueryString(effect, effGetEffectName);
        QueryString(effect, effGetVendorString);
        QueryString(effect, effGetProductString);
        Dispatch(effect, effGetPlugCategory, nullptr);
        QueryCanDo(effect, "receiveVstMidiEvent", "receiveVstEvents");
        QueryCanDo(effect, "sendVstMidiEvent", "sendVstEvents");
        Dispatch(effect, effGetVendorVersion, nullptr);
        Dispatch(effect, effClose, nullptr);
    }
    double questioned = NowMilliseconds();
    FreeLibrary(module);
    if (times) {
        times->load = loaded - started;
        times->questions = questioned - loaded;
        times->free = NowMilliseconds() - questioned;
    }
    return scanned;
}

void ReadVersionResource(const wchar_t* libraryPath) {
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(libraryPath, &handle);
    if (size == 0) return;
    std::vector<unsigned char> block(size);
    if (!GetFileVersionInfoW(libraryPath, handle, size, block.data())) return;
    void* root = nullptr;
    UINT rootBytes = 0;
    VerQueryValueW(block.data(), L"\\", &root, &rootBytes);
}

void DrainMessagesThreeTimes() {
    MSG message;
    for (int drain = 0; drain < 3; ++drain) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
}

void ActivateNoWindow() {
    SetActiveWindow(nullptr);
}

void ProbeLookups(HMODULE module) {
    GetProcAddress(module, "JBridgeBootstrap");
    GetProcAddress(module, "VSTPluginMain");
    FindResourceW(module, MAKEINTRESOURCEW(165), L"SE1");
    LPTOP_LEVEL_EXCEPTION_FILTER current = SetUnhandledExceptionFilter(nullptr);
    for (int installation = 0; installation < kFilterInstallations; ++installation) {
        SetUnhandledExceptionFilter(current);
    }
}

void FormatLines(const std::vector<std::wstring>& lines) {
    for (const std::wstring& text : lines) {
        NarrowString line;
        if (!line.Assign("info") || !line.Append(":")) return;
        WideString message = Format(L"%s", text.c_str());
        NarrowString utf8 = ToUtf8(message.Chars());
        if (!line.Append(utf8.Chars())) return;
    }
}

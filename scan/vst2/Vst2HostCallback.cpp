#include "scan/vst2/Vst2HostCallback.h"

#include <cstddef>

#include "channel/OutputChannel.h"
#include "foundation/ControlText.h"

int32_t CurrentShellId = 0;
bool WantsMidiFlag = false;

namespace {

struct OpcodeName {
    int32_t opcode;
    const char* name;
};

constexpr OpcodeName kOpcodeNames[] = {
    {0, "audioMasterAutomate"},
    {1, "audioMasterVersion"},
    {2, "audioMasterCurrentId"},
    {3, "audioMasterIdle"},
    {4, "audioMasterPinConnected"},
    {6, "audioMasterWantMidi"},
    {7, "audioMasterGetTime"},
    {8, "audioMasterProcessEvents"},
    {9, "audioMasterSetTime"},
    {10, "audioMasterTempoAt"},
    {11, "audioMasterGetNumAutomatableParameters"},
    {12, "audioMasterGetParameterQuantization"},
    {13, "audioMasterIOChanged"},
    {14, "audioMasterNeedIdle"},
    {15, "audioMasterSizeWindow"},
    {16, "audioMasterGetSampleRate"},
    {17, "audioMasterGetBlockSize"},
    {18, "audioMasterGetInputLatency"},
    {19, "audioMasterGetOutputLatency"},
    {20, "audioMasterGetPreviousPlug"},
    {21, "audioMasterGetNextPlug"},
    {22, "audioMasterWillReplaceOrAccumulate"},
    {23, "audioMasterGetCurrentProcessLevel"},
    {24, "audioMasterGetAutomationState"},
    {25, "audioMasterOfflineStart"},
    {26, "audioMasterOfflineRead"},
    {27, "audioMasterOfflineWrite"},
    {28, "audioMasterOfflineGetCurrentPass"},
    {29, "audioMasterOfflineGetCurrentMetaPass"},
    {30, "audioMasterSetOutputSampleRate"},
    {31, "audioMasterGetOutputSpeakerArrangement"},
    {32, "audioMasterGetVendorString"},
    {33, "audioMasterGetProductString"},
    {34, "audioMasterGetVendorVersion"},
    {35, "audioMasterVendorSpecific"},
    {36, "audioMasterSetIcon"},
    {37, "audioMasterCanDo"},
    {38, "audioMasterGetLanguage"},
    {39, "audioMasterOpenWindow"},
    {40, "audioMasterCloseWindow"},
    {41, "audioMasterGetDirectory"},
    {42, "audioMasterUpdateDisplay"},
    {43, "audioMasterBeginEdit"},
    {44, "audioMasterEndEdit"},
    {45, "audioMasterOpenFileSelector"},
    {46, "audioMasterCloseFileSelector"},
    {47, "audioMasterEditFile"},
    {48, "audioMasterGetChunkFile"},
    {49, "audioMasterGetInputSpeakerArrangement"},
};

constexpr char kHostVendor[] = "Vorlix Software";
constexpr char kHostProduct[] = "Marlowind";
constexpr intptr_t kHostVersion = 2400;
constexpr intptr_t kHostVendorVersion = 3;
constexpr intptr_t kHostSampleRate = 44100;
constexpr intptr_t kHostBlockSize = 512;
constexpr intptr_t kHostProcessLevel = 4;
// The buffer a plugin hands over for the vendor or product name.
constexpr size_t kHostStringBufferSize = 64;

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringAsciiCase(const char* left, const char* right) {
    for (; *left && *right; ++left, ++right) {
        if (LowerAscii(*left) != LowerAscii(*right)) return false;
    }
    return *left == *right;
}

intptr_t AnswerCanDo(const char* query) {
    NarrowString shown = EscapeControlCharacters(query ? query : "");
    WriteInfo(L"Query host can do: '%S'\n", shown.Chars());
    if (!query) return 0;
    for (const char* capability : kHostCapabilities) {
        if (EqualIgnoringAsciiCase(query, capability)) return 1;
    }
    return 0;
}

intptr_t CopyHostString(void* buffer, const char* text) {
    if (!buffer) return 0;
    char* out = static_cast<char*>(buffer);
    size_t copied = 0;
    for (; text[copied] && copied < kHostStringBufferSize - 1; ++copied) out[copied] = text[copied];
    out[copied] = '\0';
    return 1;
}

void LogCallback(int32_t opcode) {
    WideString name = AudioMasterOpcodeName(opcode);
    WriteInfo(L"Audio master callback: %i - %s\n", opcode, name.Chars());
}

}  // namespace

intptr_t Vst2HostCallback(AEffect*, int32_t opcode, int32_t, intptr_t, void* ptr, float) {
    if (opcode == audioMasterCanDo) return AnswerCanDo(static_cast<const char*>(ptr));

    LogCallback(opcode);
    switch (opcode) {
        case audioMasterAutomate:
            return 0;
        case audioMasterVersion:
            return kHostVersion;
        case audioMasterCurrentId:
            return CurrentShellId;
        case audioMasterWantMidi:
            WantsMidiFlag = true;
            return 0;
        case audioMasterNeedIdle:
            return 1;
        case audioMasterGetSampleRate:
            return kHostSampleRate;
        case audioMasterGetBlockSize:
            return kHostBlockSize;
        case audioMasterGetCurrentProcessLevel:
            return kHostProcessLevel;
        case audioMasterGetVendorString:
            return CopyHostString(ptr, kHostVendor);
        case audioMasterGetProductString:
            return CopyHostString(ptr, kHostProduct);
        case audioMasterGetVendorVersion:
            return kHostVendorVersion;
        default:
            WriteWarning(L"Unhandled audioMaster opCode - %i\n", opcode);
            return 0;
    }
}

WideString AudioMasterOpcodeName(int32_t opcode) {
    for (const OpcodeName& row : kOpcodeNames) {
        if (row.opcode == opcode) return FromNarrow(row.name);
    }
    return FromNarrow("<unknown>");
}

// The parts of the VST 2 plugin interface this server speaks, declared from
// the published binary layout: the effect record, its dispatcher, the entry
// point and the host callback, with the opcodes we send or answer.
#pragma once

#include <cstddef>
#include <cstdint>

struct AEffect;

using AudioMasterCallback = intptr_t (*)(AEffect* effect, int32_t opcode, int32_t index,
                                         intptr_t value, void* ptr, float opt);
using AEffectDispatcherProc = intptr_t (*)(AEffect* effect, int32_t opcode, int32_t index,
                                           intptr_t value, void* ptr, float opt);
using VstEntryPoint = AEffect* (*)(AudioMasterCallback hostCallback);

// Only the fields the server reads are named; the others keep their places so
// the record has the size and offsets of the 64-bit layout plugins are built with.
struct AEffect {
    int32_t magic;
    int32_t unusedPadding;
    AEffectDispatcherProc dispatcher;
    unsigned char unusedBeforeChannels[32];
    int32_t numInputs;
    int32_t numOutputs;
    int32_t flags;
    unsigned char unusedBeforeUniqueId[52];
    int32_t uniqueID;
    unsigned char unusedAfterUniqueId[76];
};

static_assert(offsetof(AEffect, magic) == 0, "magic offset");
static_assert(offsetof(AEffect, dispatcher) == 8, "dispatcher offset");
static_assert(offsetof(AEffect, numInputs) == 48, "numInputs offset");
static_assert(offsetof(AEffect, numOutputs) == 52, "numOutputs offset");
static_assert(offsetof(AEffect, flags) == 56, "flags offset");
static_assert(offsetof(AEffect, uniqueID) == 112, "uniqueID offset");
static_assert(sizeof(AEffect) == 192, "AEffect size");

constexpr int32_t kEffectMagic = 0x56737450;  // 'VstP'

constexpr int32_t effFlagsIsSynth = 0x100;
constexpr int32_t effFlagsCanDoubleReplacing = 0x1000;

// Effect-side opcodes (dispatcher).
constexpr int32_t effClose = 1;
constexpr int32_t effGetPlugCategory = 35;
constexpr int32_t effGetEffectName = 45;
constexpr int32_t effGetVendorString = 47;
constexpr int32_t effGetProductString = 48;
constexpr int32_t effGetVendorVersion = 49;
constexpr int32_t effCanDo = 51;
constexpr int32_t effShellGetNextPlugin = 70;

// Plugin categories the probe gives meaning to.
constexpr int32_t kPlugCategUnknown = 0;
constexpr int32_t kPlugCategEffect = 1;
constexpr int32_t kPlugCategSynth = 2;
constexpr int32_t kPlugCategShell = 10;

// Host-side opcodes (host callback).
constexpr int32_t audioMasterAutomate = 0;
constexpr int32_t audioMasterVersion = 1;
constexpr int32_t audioMasterCurrentId = 2;
constexpr int32_t audioMasterWantMidi = 6;
constexpr int32_t audioMasterGetTime = 7;
constexpr int32_t audioMasterNeedIdle = 14;
constexpr int32_t audioMasterGetSampleRate = 16;
constexpr int32_t audioMasterGetBlockSize = 17;
constexpr int32_t audioMasterGetCurrentProcessLevel = 23;
constexpr int32_t audioMasterGetVendorString = 32;
constexpr int32_t audioMasterGetProductString = 33;
constexpr int32_t audioMasterGetVendorVersion = 34;
constexpr int32_t audioMasterCanDo = 37;

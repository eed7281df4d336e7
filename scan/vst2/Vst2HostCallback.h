// The host side of the VST 2 interface: answers a plugin's questions from
// fixed values and logs every call on the output channel.
#pragma once

#include <cstdint>

#include "foundation/SharedString.h"
#include "scan/vst2/Vst2.h"

// What the host answers "can do" (1) to, compared ignoring ASCII letter case.
inline constexpr const char* kHostCapabilities[] = {
    "sizeWindow",          "sendVstEvents",    "sendVstMidiEvent",
    "sendVstTimeInfo",     "supplyIdle",       "receiveVstEvents",
    "receiveVstMidiEvent", "startStopProcess", "sendVstMidiEventFlagIsRealtime",
    "shellCategory",
};

// The sub-plugin id a shell plugin is to create; non-zero only while a probe runs.
extern int32_t CurrentShellId;
// Set when the plugin calls audioMasterWantMidi; cleared before each entry point call.
extern bool WantsMidiFlag;

intptr_t Vst2HostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                          float opt);

WideString AudioMasterOpcodeName(int32_t opcode);

// Reads what only an instance of a CLAP plugin tells: its audio and note
// ports, its parameter count, its latency and the extensions it answers.
#pragma once

#include <cstdint>

#include "scan/clap/Clap.h"

struct CClapHost;
struct CClapPlugin;

// More ports on one side than any real plugin has; a larger count is cut here.
constexpr uint32_t kMaxClapPorts = 1000;

// Creates the plugin (number `at` of the report) with the host, initialises
// it, reads it and destroys it. A step that fails is named in the plugin's
// instanceError; what was read before it stays.
void ReadClapInstance(const clap_plugin_factory_t& factory,
                      const clap_plugin_factory_t* factoryPointer, const CClapHost& host,
                      int32_t at, CClapPlugin& plugin);

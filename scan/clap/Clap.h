// The parts of the CLAP plugin interface this server speaks, declared from
// the published 64-bit binary layout: the exported entry record, the plugin
// factory and the plugin descriptor. Names are spelled as that interface
// spells them.
#pragma once

#include <cstddef>
#include <cstdint>

struct clap_version_t {
    uint32_t major;
    uint32_t minor;
    uint32_t revision;
};

// Texts are UTF-8; any pointer may be null. `features` ends with a null pointer.
struct clap_plugin_descriptor_t {
    clap_version_t clap_version;
    const char* id;
    const char* name;
    const char* vendor;
    const char* url;
    const char* manual_url;
    const char* support_url;
    const char* version;
    const char* description;
    const char* const* features;
};

struct clap_plugin_factory_t {
    uint32_t (*get_plugin_count)(const clap_plugin_factory_t* factory);
    const clap_plugin_descriptor_t* (*get_plugin_descriptor)(const clap_plugin_factory_t* factory,
                                                             uint32_t index);
    // Creates an instance; the scan never calls it.
    const void* (*create_plugin)(const clap_plugin_factory_t* factory, const void* host,
                                 const char* plugin_id);
};

// The library exports this record itself (a data symbol, not a function).
struct clap_plugin_entry_t {
    clap_version_t clap_version;
    bool (*init)(const char* plugin_path);
    void (*deinit)();
    const void* (*get_factory)(const char* factory_id);
};

static_assert(sizeof(clap_version_t) == 12, "clap_version size");
static_assert(offsetof(clap_plugin_descriptor_t, id) == 16, "descriptor id offset");
static_assert(offsetof(clap_plugin_descriptor_t, features) == 80, "descriptor features offset");
static_assert(sizeof(clap_plugin_descriptor_t) == 88, "descriptor size");
static_assert(sizeof(clap_plugin_factory_t) == 24, "factory size");
static_assert(offsetof(clap_plugin_entry_t, init) == 16, "entry init offset");
static_assert(offsetof(clap_plugin_entry_t, get_factory) == 32, "entry get_factory offset");
static_assert(sizeof(clap_plugin_entry_t) == 40, "entry size");

constexpr char kClapEntrySymbol[] = "clap_entry";
constexpr char CLAP_PLUGIN_FACTORY_ID[] = "clap.plugin-factory";
// Versions before 1.0 predate the stable interface; their records are not read.
constexpr uint32_t kClapFirstSupportedMajor = 1;

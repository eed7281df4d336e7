// The parts of the CLAP plugin interface this server speaks, declared from
// the published 64-bit binary layout: the exported entry record, the plugin
// factory and descriptor, the host and plugin records of an instance, and the
// extensions an instance is read through. Names are spelled as that interface
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

// Filled by the host; it must stay valid until the plugin is destroyed, and
// none of its functions may be null.
struct clap_host_t {
    clap_version_t clap_version;
    void* host_data;
    const char* name;
    const char* vendor;
    const char* url;
    const char* version;
    const void* (*get_extension)(const clap_host_t* host, const char* extension_id);
    void (*request_restart)(const clap_host_t* host);
    void (*request_process)(const clap_host_t* host);
    void (*request_callback)(const clap_host_t* host);
};

struct clap_plugin_t {
    const clap_plugin_descriptor_t* desc;
    void* plugin_data;
    bool (*init)(const clap_plugin_t* plugin);
    void (*destroy)(const clap_plugin_t* plugin);
    bool (*activate)(const clap_plugin_t* plugin, double sample_rate, uint32_t min_frames,
                     uint32_t max_frames);
    void (*deactivate)(const clap_plugin_t* plugin);
    bool (*start_processing)(const clap_plugin_t* plugin);
    void (*stop_processing)(const clap_plugin_t* plugin);
    void (*reset)(const clap_plugin_t* plugin);
    int32_t (*process)(const clap_plugin_t* plugin, const void* process);
    const void* (*get_extension)(const clap_plugin_t* plugin, const char* extension_id);
    void (*on_main_thread)(const clap_plugin_t* plugin);
};

struct clap_plugin_factory_t {
    uint32_t (*get_plugin_count)(const clap_plugin_factory_t* factory);
    const clap_plugin_descriptor_t* (*get_plugin_descriptor)(const clap_plugin_factory_t* factory,
                                                             uint32_t index);
    const clap_plugin_t* (*create_plugin)(const clap_plugin_factory_t* factory,
                                          const clap_host_t* host, const char* plugin_id);
};

// The library exports this record itself (a data symbol, not a function).
struct clap_plugin_entry_t {
    clap_version_t clap_version;
    bool (*init)(const char* plugin_path);
    void (*deinit)();
    const void* (*get_factory)(const char* factory_id);
};

constexpr uint32_t CLAP_NAME_SIZE = 256;

struct clap_audio_port_info_t {
    uint32_t id;
    char name[CLAP_NAME_SIZE];
    uint32_t flags;
    uint32_t channel_count;
    const char* port_type;
    uint32_t in_place_pair;
};

struct clap_plugin_audio_ports_t {
    uint32_t (*count)(const clap_plugin_t* plugin, bool is_input);
    bool (*get)(const clap_plugin_t* plugin, uint32_t index, bool is_input,
                clap_audio_port_info_t* info);
};

struct clap_note_port_info_t {
    uint32_t id;
    uint32_t supported_dialects;
    uint32_t preferred_dialect;
    char name[CLAP_NAME_SIZE];
};

struct clap_plugin_note_ports_t {
    uint32_t (*count)(const clap_plugin_t* plugin, bool is_input);
    bool (*get)(const clap_plugin_t* plugin, uint32_t index, bool is_input,
                clap_note_port_info_t* info);
};

// Only the count is read; the other members hold their places.
struct clap_plugin_params_t {
    uint32_t (*count)(const clap_plugin_t* plugin);
    bool (*get_info)(const clap_plugin_t* plugin, uint32_t index, void* info);
    bool (*get_value)(const clap_plugin_t* plugin, uint32_t id, double* value);
    bool (*value_to_text)(const clap_plugin_t* plugin, uint32_t id, double value, char* text,
                          uint32_t capacity);
    bool (*text_to_value)(const clap_plugin_t* plugin, uint32_t id, const char* text,
                          double* value);
    void (*flush)(const clap_plugin_t* plugin, const void* in, const void* out);
};

struct clap_plugin_latency_t {
    uint32_t (*get)(const clap_plugin_t* plugin);
};

struct clap_host_thread_check_t {
    bool (*is_main_thread)(const clap_host_t* host);
    bool (*is_audio_thread)(const clap_host_t* host);
};

struct clap_host_log_t {
    void (*log)(const clap_host_t* host, int32_t severity, const char* message);
};

constexpr uint32_t CLAP_AUDIO_PORT_IS_MAIN = 1;
constexpr int32_t CLAP_LOG_WARNING = 2;

static_assert(sizeof(clap_version_t) == 12, "clap_version size");
static_assert(offsetof(clap_plugin_descriptor_t, id) == 16, "descriptor id offset");
static_assert(offsetof(clap_plugin_descriptor_t, features) == 80, "descriptor features offset");
static_assert(sizeof(clap_plugin_descriptor_t) == 88, "descriptor size");
static_assert(sizeof(clap_plugin_factory_t) == 24, "factory size");
static_assert(offsetof(clap_plugin_entry_t, init) == 16, "entry init offset");
static_assert(offsetof(clap_plugin_entry_t, get_factory) == 32, "entry get_factory offset");
static_assert(sizeof(clap_plugin_entry_t) == 40, "entry size");
static_assert(offsetof(clap_host_t, host_data) == 16, "host host_data offset");
static_assert(offsetof(clap_host_t, get_extension) == 56, "host get_extension offset");
static_assert(sizeof(clap_host_t) == 88, "host size");
static_assert(offsetof(clap_plugin_t, init) == 16, "plugin init offset");
static_assert(offsetof(clap_plugin_t, activate) == 32, "plugin activate offset");
static_assert(offsetof(clap_plugin_t, get_extension) == 80, "plugin get_extension offset");
static_assert(sizeof(clap_plugin_t) == 96, "plugin size");
static_assert(offsetof(clap_audio_port_info_t, flags) == 260, "audio port flags offset");
static_assert(offsetof(clap_audio_port_info_t, port_type) == 272, "audio port type offset");
static_assert(sizeof(clap_audio_port_info_t) == 288, "audio port info size");
static_assert(sizeof(clap_plugin_audio_ports_t) == 16, "audio ports size");
static_assert(offsetof(clap_note_port_info_t, name) == 12, "note port name offset");
static_assert(sizeof(clap_note_port_info_t) == 268, "note port info size");
static_assert(sizeof(clap_plugin_note_ports_t) == 16, "note ports size");
static_assert(sizeof(clap_plugin_params_t) == 48, "params size");
static_assert(sizeof(clap_plugin_latency_t) == 8, "latency size");
static_assert(sizeof(clap_host_thread_check_t) == 16, "thread check size");
static_assert(sizeof(clap_host_log_t) == 8, "log size");

constexpr char kClapEntrySymbol[] = "clap_entry";
constexpr char CLAP_PLUGIN_FACTORY_ID[] = "clap.plugin-factory";
constexpr char CLAP_EXT_AUDIO_PORTS[] = "clap.audio-ports";
constexpr char CLAP_EXT_NOTE_PORTS[] = "clap.note-ports";
constexpr char CLAP_EXT_PARAMS[] = "clap.params";
constexpr char CLAP_EXT_LATENCY[] = "clap.latency";
constexpr char CLAP_EXT_THREAD_CHECK[] = "clap.thread-check";
constexpr char CLAP_EXT_LOG[] = "clap.log";
// Versions before 1.0 predate the stable interface; their records are not read.
constexpr uint32_t kClapFirstSupportedMajor = 1;

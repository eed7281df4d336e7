// One record of the output: a plugin file, one sub-plugin of a shell, one
// plugin in a CLAP file or one audio processor class of a VST3 module, with
// how its scan ended and, when the server answered, its report.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "host/AnyReport.h"
#include "protocol/PluginFormat.h"

enum class ScanStatus { kOk, kError, kUnsupported, kCrashed, kTimedOut, kServerFailed };

// The status as it stands in the JSON ("timedOut") and in sentences ("timed out").
const char* StatusName(ScanStatus status);
const char* StatusWords(ScanStatus status);
// Crashed, timed out and server failures are kept as they are until a retry is asked for.
bool IsFailure(ScanStatus status);

// How a request ended when the server did not answer it: its exit code when it
// ended by itself, the dump it left and the module the dump names as faulting.
struct ServerEnd {
    std::optional<uint32_t> exitCode;
    std::wstring dumpPath;
    std::wstring faultModule;
    // When faultModule is the scan server itself: that it faulted on data
    // the plugin under scan handed it, so the plugin is the culprit.
    std::string blame;
};

// A failure the plugin did not repeat when it was scanned again alone.
struct UnconfirmedFailure {
    ScanStatus status = ScanStatus::kCrashed;
    std::string error;
    ServerEnd end;
};

// An older class id a VST3 class replaces, with the VST 2 id it carries when
// it was derived from a VST 2 plugin.
struct Replacement {
    std::string cid;
    std::optional<uint32_t> vst2Id;
};

// The VST3 class, found in the same run, that replaces a VST 2 plugin.
struct ReplacingClass {
    std::wstring path;
    std::string cid;
};

// Where a record's report comes from when no server gave it.
constexpr char kModuleInfoSource[] = "moduleinfo";

struct ScanRecord {
    std::wstring path;
    protocol::PluginFormat format = protocol::PluginFormat::kVst2;
    bool isSubPlugin = false;
    uint32_t shellId = 0;
    ScanStatus status = ScanStatus::kServerFailed;
    // When the server answered, the report of the record's format. Of a CLAP
    // record the file's report with only this record's plugin, or none when
    // the file gave none; of a VST3 record the module's report with only this
    // record's class (its vendor the factory's where it names none), or none.
    std::optional<AnyReport> report;
    // The report's error, or why there is no report.
    std::string error;
    ServerEnd end;
    // The "warn" lines of the request that concern this record: all of a VST 2
    // request's; of a CLAP file those that follow the reading of this record's
    // plugin descriptor.
    std::vector<std::string> warnings;
    // Of the first record of a CLAP file or VST3 module that gave records per
    // plugin: the warn lines about the file as a whole, stored once for all.
    std::vector<std::string> fileWarnings;
    // Of the first record of a request: the warn lines past the ones kept.
    size_t warningsLeftOut = 0;
    // Of the first record of a file: the requests of other plugins whose
    // scans a thread of this file's plugin ended with a crash, after its own
    // scan had ended; the path, "path>ID" for a sub-plugin. Their records tell
    // that crash and name its dump.
    std::vector<std::wstring> lateFaults;
    std::optional<UnconfirmedFailure> unconfirmed;
    // Empty when a server gave the report; kModuleInfoSource when the
    // bundle's moduleinfo.json did, no code loaded.
    std::string source;
    // Of a VST3 class: what its bundle's moduleinfo.json says it replaces.
    std::vector<Replacement> replaces;
    // Of a VST3 class whose own id is derived from a VST 2 plugin's, and of a
    // VST 2 plugin a VST3 class of the run replaces. Worked out anew after
    // each run from the records, so never read back.
    std::optional<uint32_t> vst2Id;
    std::optional<ReplacingClass> replacedBy;
    double seconds = 0;  // to the millisecond
};

// Warn lines of any kind, kept or only counted.
bool HasWarnings(const ScanRecord& record);

nlohmann::ordered_json RecordToJson(const ScanRecord& record);
[[nodiscard]] bool RecordFromJson(const nlohmann::ordered_json& object, ScanRecord& record);

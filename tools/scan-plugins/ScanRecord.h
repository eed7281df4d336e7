// One record of the output: a plugin file, or one sub-plugin of a shell, with
// how its scan ended and, when the server answered, its report.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

#include "host/PluginReport.h"

enum class ScanStatus { kOk, kError, kCrashed, kTimedOut, kServerFailed };

// The status as it stands in the JSON ("timedOut") and in sentences ("timed out").
const char* StatusName(ScanStatus status);
const char* StatusWords(ScanStatus status);
// Crashed, timed out and server failures are kept as they are until a retry is asked for.
bool IsFailure(ScanStatus status);

struct ScanRecord {
    std::wstring path;
    bool isSubPlugin = false;
    uint32_t shellId = 0;
    ScanStatus status = ScanStatus::kServerFailed;
    bool hasReport = false;
    PluginReport report;
    // The report's error, or why there is no report.
    std::string error;
    std::wstring dumpPath;
    double seconds = 0;  // to the millisecond
};

nlohmann::ordered_json RecordToJson(const ScanRecord& record);
[[nodiscard]] bool RecordFromJson(const nlohmann::ordered_json& object, ScanRecord& record);

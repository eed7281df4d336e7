// What scan-plugins does differently per format, in one place: which records
// an answered file gives, which sub-plugins are asked for next, and how a
// record stores the members of its report.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <vector>

#include "host/AnyReport.h"
#include "host/ScanClient.h"
#include "tools/scan-plugins/ScanRecord.h"

// The records of a file whose request has been answered (or not): a VST 2
// library's own, one per plugin of a CLAP file, one per audio processor class
// of a VST3 module; the file's own when it gave none. The warnings kept in
// `file` go to the records they concern, as the request's `lines` tell.
void AddFileRecords(ScanRecord& file, const ChannelLines& lines, std::vector<ScanRecord>& records);
// The sub-plugins asked for one by one after the file: a VST 2 shell's.
std::vector<uint32_t> SubPluginIds(const ScanRecord& file);

void WriteRecordReport(const AnyReport& report, nlohmann::ordered_json& object);
[[nodiscard]] bool ReadRecordReport(const nlohmann::ordered_json& object, AnyReport& report);

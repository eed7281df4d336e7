// What scan-plugins does differently per format, in one place: which records
// an answered file gives, which sub-plugins are asked for next, whose factory
// is read alone after a failure, and how a record stores the members of its
// report and what a host places the plugin by.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <vector>

#include "host/AnyReport.h"
#include "host/ChannelLines.h"
#include "protocol/PluginFormat.h"
#include "tools/scan-plugins/ScanRecord.h"

// The records of a file whose request has been answered (or not): a VST 2
// library's own, one per plugin of a CLAP file, one per audio processor class
// of a VST3 module; the file's own when it gave none. The warnings kept in
// `file` go to the records they concern, as the request's `lines` tell.
void AddFileRecords(ScanRecord& file, const ChannelLines& lines, std::vector<ScanRecord>& records);
// The sub-plugins asked for one by one after the file: a VST 2 shell's.
std::vector<uint32_t> SubPluginIds(const ScanRecord& file);

// Whether a file whose instances crashed or hung the server can still have
// its factory read alone: a CLAP file's or a VST3 module's.
bool HasFactoryOnlyRequest(protocol::PluginFormat format);

void WriteRecordReport(const AnyReport& report, nlohmann::ordered_json& object);
[[nodiscard]] bool ReadRecordReport(const nlohmann::ordered_json& object, AnyReport& report);

// The report of whichever format a request was scanned as: the one place that
// lists the formats' reports, in the order of protocol::PluginFormat, so that
// a report's alternative is its format.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <variant>

#include "host/clap/ClapReport.h"
#include "host/vst2/Vst2Report.h"
#include "host/vst3/Vst3Report.h"
#include "protocol/PluginFormat.h"

using AnyReport = std::variant<Vst2Report, ClapReport, Vst3Report>;

protocol::PluginFormat FormatOf(const AnyReport& report);
// An empty report of the format.
AnyReport ReportOfFormat(protocol::PluginFormat format);
// The report's error: empty when the scan succeeded.
const std::string& ReportError(const AnyReport& report);

// The report as the server writes it, without the channel names; its
// "format" member picks the reader, a report without one is a VST 2 report.
[[nodiscard]] bool ParseAnyReport(const std::string& text, AnyReport& report);

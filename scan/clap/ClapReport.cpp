#include "scan/clap/ClapReport.h"

#include "channel/OutputChannel.h"
#include "protocol/PluginFormat.h"
#include "scan/common/ReportRows.h"

namespace {

void WriteFeatureRows(const ClapFeatureList& features) {
    WriteReport(L"      \"features\": [\n");
    for (int32_t i = 0; i < features.Count(); ++i) {
        WriteTextRow(L"        \"%s\",\n", *features[i]);
    }
    WriteReport(L"      ],\n");
}

void WritePluginRows(const CClapPlugin& plugin) {
    WriteReport(L"    {\n");
    WriteTextRow(L"      \"id\":          \"%s\",\n", plugin.id);
    WriteTextRow(L"      \"name\":        \"%s\",\n", plugin.name);
    WriteTextRow(L"      \"vendor\":      \"%s\",\n", plugin.vendor);
    WriteTextRow(L"      \"version\":     \"%s\",\n", plugin.version);
    WriteTextRow(L"      \"description\": \"%s\",\n", plugin.description);
    WriteTextRow(L"      \"url\":         \"%s\",\n", plugin.url);
    WriteTextRow(L"      \"manualUrl\":   \"%s\",\n", plugin.manualUrl);
    WriteTextRow(L"      \"supportUrl\":  \"%s\",\n", plugin.supportUrl);
    WriteFeatureRows(plugin.features);
    WriteReport(L"    },\n");
}

}  // namespace

void WriteClapReport(const ClapScanResult& result) {
    WriteReport(L"{\n");
    WriteReport(L"  \"format\":      \"%S\",\n",
                protocol::FormatName(protocol::PluginFormat::kClap));
    WriteTextRow(L"  \"error\":       \"%s\",\n", result.error);
    WriteReport(L"  \"platform\":    \"%s\",\n", L"x64");
    WriteTextRow(L"  \"fileVersion\": \"%s\",\n", result.fileVersion);
    WriteTextRow(L"  \"clapVersion\": \"%s\",\n", result.clapVersion);
    WriteReport(L"  \"plugins\": [\n");
    for (int32_t i = 0; i < result.plugins.Count(); ++i) WritePluginRows(*result.plugins[i]);
    WriteReport(L"  ],\n");
    WriteReport(L"}\n");
}

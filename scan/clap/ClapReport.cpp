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

void WriteAudioPortRows(const wchar_t* key, const ClapAudioPortList& ports) {
    WriteReport(L"      \"%s\": [\n", key);
    for (int32_t i = 0; i < ports.Count(); ++i) {
        const CClapAudioPort& port = *ports[i];
        WriteReport(L"        {\n");
        WriteTextRow(L"          \"name\":     \"%s\",\n", port.name);
        WriteReport(L"          \"channels\": %u,\n", port.channels);
        WriteReport(L"          \"main\":     %s,\n", BooleanText(port.main));
        WriteTextRow(L"          \"portType\": \"%s\",\n", port.portType);
        WriteReport(L"        },\n");
    }
    WriteReport(L"      ],\n");
}

void WriteNotePortRows(const wchar_t* key, const ClapNotePortList& ports) {
    WriteReport(L"      \"%s\": [\n", key);
    for (int32_t i = 0; i < ports.Count(); ++i) {
        const CClapNotePort& port = *ports[i];
        WriteReport(L"        {\n");
        WriteTextRow(L"          \"name\":      \"%s\",\n", port.name);
        WriteReport(L"          \"dialects\":  %u,\n", port.dialects);
        WriteReport(L"          \"preferred\": %u,\n", port.preferred);
        WriteReport(L"        },\n");
    }
    WriteReport(L"      ],\n");
}

// An unknown number is -1.
void WriteNumberRow(const wchar_t* format, const std::optional<uint32_t>& number) {
    WideString text = number ? Format(L"%u", *number) : Format(L"-1");
    WriteReport(format, TextOrEmpty(text));
}

void WriteExtensionRows(const bool (&extensions)[kClapExtensionCount]) {
    WriteReport(L"      \"extensions\": [\n");
    for (int32_t at = 0; at < kClapExtensionCount; ++at) {
        if (extensions[at]) WriteReport(L"        \"%S\",\n", kClapExtensionIds[at]);
    }
    WriteReport(L"      ],\n");
}

void WriteInstanceRows(const CClapPlugin& plugin) {
    WriteTextRow(L"      \"instanceError\": \"%s\",\n", plugin.instanceError);
    WriteAudioPortRows(L"audioInputs", plugin.audioInputs);
    WriteAudioPortRows(L"audioOutputs", plugin.audioOutputs);
    WriteNotePortRows(L"noteInputs", plugin.noteInputs);
    WriteNotePortRows(L"noteOutputs", plugin.noteOutputs);
    WriteNumberRow(L"      \"parameters\":     %s,\n", plugin.parameters);
    WriteNumberRow(L"      \"latencySamples\": %s,\n", plugin.latencySamples);
    WriteExtensionRows(plugin.extensions);
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
    WriteInstanceRows(plugin);
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
    WriteReport(L"  \"instances\":   %s,\n", BooleanText(result.instances));
    WriteReport(L"  \"plugins\": [\n");
    for (int32_t i = 0; i < result.plugins.Count(); ++i) WritePluginRows(*result.plugins[i]);
    WriteReport(L"  ],\n");
    WriteReport(L"}\n");
}

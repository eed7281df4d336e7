#include "scan/vst3/Vst3Report.h"

#include "channel/OutputChannel.h"
#include "protocol/HexDigits.h"
#include "protocol/PluginFormat.h"
#include "scan/common/ReportRows.h"

namespace {

// The id's bytes in their order, two upper-case hexadecimal digits each.
void WriteCidRow(const unsigned char (&cid)[16]) {
    wchar_t text[33];
    for (int at = 0; at < 16; ++at) {
        text[2 * at] = static_cast<wchar_t>(protocol::UpperHexDigit(cid[at] >> 4));
        text[2 * at + 1] = static_cast<wchar_t>(protocol::UpperHexDigit(cid[at]));
    }
    text[32] = 0;
    WriteReport(L"      \"cid\":            \"%s\",\n", text);
}

void WriteBusRows(const wchar_t* member, const Vst3BusList& buses) {
    WriteReport(L"      \"%s\": [\n", member);
    for (int32_t i = 0; i < buses.Count(); ++i) {
        const CVst3Bus& bus = *buses[i];
        WriteReport(L"        {\n");
        WriteTextRow(L"          \"name\":          \"%s\",\n", bus.name);
        WriteReport(L"          \"channels\":      %i,\n", bus.channels);
        WriteReport(L"          \"main\":          %s,\n", BooleanText(bus.main));
        WriteReport(L"          \"defaultActive\": %s,\n", BooleanText(bus.defaultActive));
        WriteReport(L"        },\n");
    }
    WriteReport(L"      ],\n");
}

void WriteInstanceRows(const CVst3Class& found) {
    WriteTextRow(L"      \"instanceError\":  \"%s\",\n", found.instanceError);
    WriteBusRows(L"audioInputs", found.audioInputs);
    WriteBusRows(L"audioOutputs", found.audioOutputs);
    WriteBusRows(L"eventInputs", found.eventInputs);
    WriteBusRows(L"eventOutputs", found.eventOutputs);
    WriteReport(L"      \"parameters\":     %i,\n", found.parameters);
    if (found.latencySamples) {
        WriteReport(L"      \"latencySamples\": %u,\n", *found.latencySamples);
    } else {
        WriteReport(L"      \"latencySamples\": -1,\n");
    }
}

void WriteClassRows(const CVst3Class& found) {
    WriteReport(L"    {\n");
    WriteCidRow(found.cid);
    WriteTextRow(L"      \"category\":       \"%s\",\n", found.category);
    WriteTextRow(L"      \"name\":           \"%s\",\n", found.name);
    WriteTextRow(L"      \"vendor\":         \"%s\",\n", found.vendor);
    WriteTextRow(L"      \"version\":        \"%s\",\n", found.version);
    WriteTextRow(L"      \"sdkVersion\":     \"%s\",\n", found.sdkVersion);
    WriteTextRow(L"      \"subCategories\":  \"%s\",\n", found.subCategories);
    WriteReport(L"      \"cardinality\":    %i,\n", found.cardinality);
    WriteReport(L"      \"classFlags\":     %u,\n", found.classFlags);
    WriteInstanceRows(found);
    WriteReport(L"    },\n");
}

}  // namespace

void WriteVst3Report(const Vst3ScanResult& result) {
    WriteReport(L"{\n");
    WriteReport(L"  \"format\":        \"%S\",\n",
                protocol::FormatName(protocol::PluginFormat::kVst3));
    WriteTextRow(L"  \"error\":         \"%s\",\n", result.error);
    WriteReport(L"  \"platform\":      \"%s\",\n", L"x64");
    WriteTextRow(L"  \"fileVersion\":   \"%s\",\n", result.fileVersion);
    WriteTextRow(L"  \"factoryVendor\": \"%s\",\n", result.factoryVendor);
    WriteTextRow(L"  \"factoryUrl\":    \"%s\",\n", result.factoryUrl);
    WriteTextRow(L"  \"factoryEmail\":  \"%s\",\n", result.factoryEmail);
    WriteReport(L"  \"factoryFlags\":  %i,\n", result.factoryFlags);
    WriteReport(L"  \"instances\":     %s,\n", BooleanText(result.instances));
    WriteReport(L"  \"classes\": [\n");
    for (int32_t i = 0; i < result.classes.Count(); ++i) WriteClassRows(*result.classes[i]);
    WriteReport(L"  ],\n");
    WriteReport(L"}\n");
}

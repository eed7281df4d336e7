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
    WriteReport(L"      \"cid\":           \"%s\",\n", text);
}

void WriteClassRows(const CVst3Class& found) {
    WriteReport(L"    {\n");
    WriteCidRow(found.cid);
    WriteTextRow(L"      \"category\":      \"%s\",\n", found.category);
    WriteTextRow(L"      \"name\":          \"%s\",\n", found.name);
    WriteTextRow(L"      \"vendor\":        \"%s\",\n", found.vendor);
    WriteTextRow(L"      \"version\":       \"%s\",\n", found.version);
    WriteTextRow(L"      \"sdkVersion\":    \"%s\",\n", found.sdkVersion);
    WriteTextRow(L"      \"subCategories\": \"%s\",\n", found.subCategories);
    WriteReport(L"      \"cardinality\":   %i,\n", found.cardinality);
    WriteReport(L"      \"classFlags\":    %u,\n", found.classFlags);
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
    WriteReport(L"  \"classes\": [\n");
    for (int32_t i = 0; i < result.classes.Count(); ++i) WriteClassRows(*result.classes[i]);
    WriteReport(L"  ],\n");
    WriteReport(L"}\n");
}

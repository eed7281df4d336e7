#include "scan/vst2/Vst2Report.h"

#include "channel/OutputChannel.h"
#include "protocol/Protocol.h"
#include "scan/common/ReportRows.h"
#include "scan/vst2/Vst2.h"

// Hosts know a shell's report by the plugin's own category number.
static_assert(kPlugCategShell == protocol::kShellCategory);

namespace {

void WriteShellRows(const ShellList& shells) {
    WriteReport(L"  \"shells\": {\n");
    for (int32_t i = 0; i < shells.Count(); ++i) {
        const CShellInfo* shell = shells[i];
        if (shell == nullptr) continue;
        WideString escaped = EscapeJsonText(shell->name);
        WriteReport(L"        \"%.8X\": \"%s\",\n", shell->id, TextOrEmpty(escaped));
    }
    WriteReport(L"  },\n");
}

}  // namespace

void WriteVst2Report(const Vst2ScanResult& result) {
    WriteReport(L"{\n");
    WriteReport(L"  \"id\":        \"%.8X\",\n", result.id);
    WriteTextRow(L"  \"name\":      \"%s\",\n", result.name);
    WriteTextRow(L"  \"vendor\":    \"%s\",\n", result.vendor);
    WriteTextRow(L"  \"product\":   \"%s\",\n", result.product);
    WriteTextRow(L"  \"version\":   \"%s\",\n", result.version);
    WriteTextRow(L"  \"error\":     \"%s\",\n", result.error);
    WriteReport(L"  \"numInputs\": %i,\n", result.numInputs);
    WriteReport(L"  \"numOutputs\":%i,\n", result.numOutputs);
    WriteReport(L"  \"wantsMidi\":  %s,\n", BooleanText(result.wantsMidi));
    WriteReport(L"  \"sendsMidi\": %s,\n", BooleanText(result.sendsMidi));
    WriteReport(L"  \"platform\":  \"%s\",\n", L"x64");
    WriteReport(L"  \"audio64\":   %s,\n", BooleanText(result.audio64));
    WriteReport(L"  \"category\":  %i,\n", result.category);
    WriteReport(L"  \"synthEdit\": %s,\n", BooleanText(result.synthEdit));
    if (result.category == protocol::kShellCategory) WriteShellRows(result.shells);
    WriteReport(L"}\n");
}

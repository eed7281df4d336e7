// The input is the text of a report as a server writes it; it is read as a
// ClapReport and, as a host that does not know the format reads it, as any report.
#include <cstddef>
#include <cstdint>
#include <string>

#include "host/AnyReport.h"
#include "host/ReportJson.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    ClapReport report;
    static_cast<void>(ParseReport(text, report));
    AnyReport any;
    if (ParseAnyReport(text, any)) static_cast<void>(ReportError(any));
    return 0;
}

#include "scan/clap/ClapDriver.h"

#include "scan/clap/ClapProbe.h"
#include "scan/clap/ClapReport.h"
#include "scan/common/LibraryScan.h"

bool ScanClapPlugin(const WideString& request, const WideString& libraryPath,
                    ClapScanResult& result) {
    BeginLibraryScan(request);
    return ScanLibraryOnce(libraryPath, result.error, result.fileVersion, [&](HMODULE module) {
        return ProbeClapPlugin(module, libraryPath, AsksForFactoryOnly(request), result);
    });
}

void HandleClapScanRequest(const WideString& request, const WideString& libraryPath) {
    ClapScanResult result;
    bool scanned = ScanClapPlugin(request, libraryPath, result);
    WriteOutcome(scanned, result, WriteClapReport);
}

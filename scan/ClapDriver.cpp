#include "scan/ClapDriver.h"

#include "channel/OutputChannel.h"
#include "scan/ClapProbe.h"
#include "scan/ClapResult.h"
#include "scan/LibraryScan.h"

bool ScanClapPlugin(const WideString& request, const WideString& libraryPath,
                    ClapScanResult& result) {
    BeginLibraryScan(request);
    return ScanLibraryOnce(libraryPath, result.error, result.fileVersion, [&](HMODULE module) {
        return ProbeClapPlugin(module, libraryPath, result);
    });
}

void HandleClapScanRequest(const WideString& request, const WideString& libraryPath) {
    ClapScanResult result;
    if (!ScanClapPlugin(request, libraryPath, result)) WriteError(L"%s\n", result.error.Chars());
    WriteClapReport(result);
}

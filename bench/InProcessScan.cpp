#include "bench/InProcessScan.h"

#include "bench/Statistics.h"
#include "channel/OutputChannel.h"
#include "platform/KernelHandles.h"
#include "scan/common/VersionResource.h"
#include "scan/vst2/Vst2Probe.h"
#include "scan/vst2/Vst2Report.h"
#include "splash/MessagePump.h"

bool ScanInProcess(const wchar_t* libraryPath, InProcessTimes* times) {
    double started = NowMilliseconds();
    UniqueModule module(LoadLibraryExW(libraryPath, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!module.IsValid()) return false;
    double loaded = NowMilliseconds();
    Vst2ScanResult result;
    bool scanned = ProbeVst2Plugin(module.Get(), result);
    double questioned = NowMilliseconds();
    module.Close();
    if (times) {
        times->load = loaded - started;
        times->questions = questioned - loaded;
        times->free = NowMilliseconds() - questioned;
    }
    return scanned;
}

void ReadVersionResource(const wchar_t* libraryPath) {
    WideString path;
    if (path.Assign(libraryPath)) static_cast<void>(FileVersionText(path));
}

void DrainMessagesThreeTimes() {
    for (int drain = 0; drain < 3; ++drain) PumpWindowMessages();
}

void ActivateNoWindow() {
    SetActiveWindow(nullptr);
}

void FormatLines(const std::vector<std::wstring>& lines, HANDLE sink) {
    SetOutputHandle(sink);
    for (const std::wstring& text : lines) WriteInfo(L"%s", text.c_str());
    SetOutputHandle(nullptr);
}

void WriteLines(const std::vector<std::string>& lines, HANDLE sink) {
    SetOutputHandle(sink);
    for (const std::string& line : lines) {
        WriteWholeLine(line.data(), static_cast<uint32_t>(line.size()));
    }
    SetOutputHandle(nullptr);
}

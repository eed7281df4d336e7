#include "scan/clap/ClapHost.h"

#include <cstring>

#include "channel/OutputChannel.h"
#include "scan/clap/ClapText.h"
#include "scan/common/ReportRows.h"

namespace {

// The names the VST 2 host callback gives too.
constexpr char kHostName[] = "Marlowind";
constexpr char kHostVendor[] = "Vorlix Software";
constexpr char kHostUrl[] = "";
constexpr char kHostVersion[] = "1.0.0";
// The interface version this host speaks.
constexpr clap_version_t kHostClapVersion = {1, 2, 0};

bool IsMainThread(const clap_host_t* host) {
    return static_cast<const CClapHost*>(host->host_data)->mainThreadId == GetCurrentThreadId();
}

bool IsAudioThread(const clap_host_t*) {
    return false;
}

const clap_host_thread_check_t kThreadCheck = {IsMainThread, IsAudioThread};

void Log(const clap_host_t*, int32_t severity, const char* message) {
    WideString shown = ShownClapText(message ? message : "");
    if (severity >= CLAP_LOG_WARNING) {
        WriteWarning(L"Plugin log: %s\n", TextOrEmpty(shown));
    } else {
        WriteInfo(L"Plugin log: %s\n", TextOrEmpty(shown));
    }
}

const clap_host_log_t kLog = {Log};

const void* GetExtension(const clap_host_t*, const char* extensionId) {
    if (!extensionId) return nullptr;
    if (std::strcmp(extensionId, CLAP_EXT_THREAD_CHECK) == 0) return &kThreadCheck;
    if (std::strcmp(extensionId, CLAP_EXT_LOG) == 0) return &kLog;
    return nullptr;
}

// A scan never restarts, processes or calls back an instance.
void IgnoreRequest(const clap_host_t*) {}

}  // namespace

void StartClapHost(CClapHost& clapHost) {
    clapHost.host = {kHostClapVersion, &clapHost,    kHostName,     kHostVendor,   kHostUrl,
                     kHostVersion,     GetExtension, IgnoreRequest, IgnoreRequest, IgnoreRequest};
    clapHost.mainThreadId = GetCurrentThreadId();
}

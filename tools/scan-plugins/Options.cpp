#include "tools/scan-plugins/Options.h"

#include <cwchar>

#include "host/Text.h"

const char kUsage[] =
    "usage: scan-plugins [options] PATH...\n"
    "Scans VST 2 plugin files, and the .dll files in folders and their subfolders,\n"
    "each in a scan server of its own, and writes one JSON record per plugin and\n"
    "per sub-plugin of a shell.\n"
    "\n"
    "  --out FILE         write the records to FILE instead of standard output\n"
    "  --cache FILE       take unchanged plugins (same path, size and last-write\n"
    "                     time) from FILE and keep the new results there\n"
    "  --retry-failed     scan again what the cache has as crashed or timed out\n"
    "  --jobs N           servers side by side (default: the number of processors)\n"
    "  --timeout SECONDS  time one plugin has to answer (default: 30)\n"
    "  --dumps FOLDER     where crash dumps go (default: scan-dumps in the current folder)\n"
    "  --server FILE      the scan server (default: ScanServer-x64.exe beside this program)\n"
    "  --help             this text\n";

namespace {

bool ParseJobs(const std::wstring& text, unsigned& jobs) {
    wchar_t* end = nullptr;
    unsigned long value = std::wcstoul(text.c_str(), &end, 10);
    if (text.empty() || *end != L'\0' || text[0] == L'-' || value < 1 || value > 256) return false;
    jobs = static_cast<unsigned>(value);
    return true;
}

bool ParseTimeout(const std::wstring& text, DWORD& milliseconds) {
    wchar_t* end = nullptr;
    double seconds = std::wcstod(text.c_str(), &end);
    if (text.empty() || *end != L'\0' || !(seconds >= 0.001) || seconds > 86400) return false;
    milliseconds = static_cast<DWORD>(seconds * 1000 + 0.5);
    return true;
}

}  // namespace

bool ParseOptions(int argc, wchar_t** argv, Options& options, std::string& problem) {
    bool pathsOnly = false;
    for (int at = 1; at < argc; ++at) {
        std::wstring argument = argv[at];
        if (pathsOnly || argument.size() < 2 || argument.compare(0, 2, L"--") != 0) {
            options.paths.push_back(argument);
            continue;
        }
        if (argument == L"--") {
            pathsOnly = true;
        } else if (argument == L"--help") {
            options.help = true;
        } else if (argument == L"--retry-failed") {
            options.retryFailed = true;
        } else if (argument == L"--out" || argument == L"--cache" || argument == L"--jobs" ||
                   argument == L"--timeout" || argument == L"--dumps" || argument == L"--server") {
            if (at + 1 >= argc || argv[at + 1][0] == L'\0') {
                problem = Utf8FromWide(argument) + " needs a value";
                return false;
            }
            std::wstring value = argv[++at];
            if (argument == L"--out") {
                options.out = value;
            } else if (argument == L"--cache") {
                options.cache = value;
            } else if (argument == L"--dumps") {
                options.dumps = value;
            } else if (argument == L"--server") {
                options.server = value;
            } else if (argument == L"--jobs" && !ParseJobs(value, options.jobs)) {
                problem = "--jobs takes a whole number from 1 to 256, not " + Utf8FromWide(value);
                return false;
            } else if (argument == L"--timeout" &&
                       !ParseTimeout(value, options.timeoutMilliseconds)) {
                problem = "--timeout takes a number of seconds above 0 and up to 86400, not " +
                          Utf8FromWide(value);
                return false;
            }
        } else {
            problem = "unknown option " + Utf8FromWide(argument);
            return false;
        }
    }
    if (options.paths.empty() && !options.help) {
        problem = "no plugin file or folder given";
        return false;
    }
    return true;
}

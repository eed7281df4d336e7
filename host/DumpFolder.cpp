#include "host/DumpFolder.h"

#include <windows.h>

#include "platform/KernelHandles.h"
#include "protocol/Protocol.h"

namespace {

uint64_t FileTimeValue(const FILETIME& time) {
    return static_cast<uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

}  // namespace

DumpFiles ListDumps(const std::wstring& folder) {
    DumpFiles dumps;
    if (folder.empty()) return dumps;
    WIN32_FIND_DATAW found;
    UniqueFindHandle search(
        FindFirstFileW((folder + L"\\" + protocol::kDumpNamePattern).c_str(), &found));
    if (!search.IsValid()) return dumps;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            dumps[found.cFileName] = FileTimeValue(found.ftLastWriteTime);
        }
    } while (FindNextFileW(search.Get(), &found));
    return dumps;
}

std::wstring NewDump(const std::wstring& folder, const DumpFiles& before) {
    std::wstring newest;
    uint64_t newestTime = 0;
    for (const auto& [name, time] : ListDumps(folder)) {
        auto earlier = before.find(name);
        if (earlier != before.end() && earlier->second == time) continue;
        if (newest.empty() || time >= newestTime) {
            newest = name;
            newestTime = time;
        }
    }
    return newest.empty() ? newest : folder + L"\\" + newest;
}

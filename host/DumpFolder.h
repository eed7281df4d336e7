// Watching a server's dump folder: which dumps were there before a request,
// and which one a crash during it left.
#pragma once

#include <cstdint>
#include <map>
#include <string>

using DumpFiles = std::map<std::wstring, uint64_t>;  // name to last-write time

// The server's dumps in the folder; none for an empty folder name.
DumpFiles ListDumps(const std::wstring& folder);

// The newest dump that is new, or was written again, since `before`; its
// full path, or empty when there is none.
std::wstring NewDump(const std::wstring& folder, const DumpFiles& before);

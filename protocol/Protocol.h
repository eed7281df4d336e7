// The wire protocol between a host and the scan server, shared by both sides:
// the prompt, the channel names, the request bound, the report's shell
// category, the crash exit code and the dump file names. No Windows
// dependency, so every side can include it.
#pragma once

#include <cstdint>

namespace protocol {

// Written before each request is read; a host sends one request per prompt.
inline constexpr char kPromptLine[] = "ready:\n";
inline constexpr uint32_t kPromptLineBytes = sizeof(kPromptLine) - 1;

// Every other line is one of these names, a colon and UTF-8 text.
inline constexpr char kInfoChannel[] = "info";
inline constexpr char kWarningChannel[] = "warn";
inline constexpr char kErrorChannel[] = "error";
inline constexpr char kReportChannel[] = ">";

// The longest request line taken; a longer one is read to its line feed and
// rejected, so a runaway host cannot exhaust the server's memory.
inline constexpr uint32_t kMaxRequestBytes = 64 * 1024;

// After a CLAP or VST3 path: read the factory alone, creating no instance
// (what a host asks after an instance crashed or hung the server). Any other
// text after a ">" is ignored for those formats.
inline constexpr wchar_t kFactoryOnlyRequest[] = L">factory";

// The plugin category of a shell, whose report lists its sub-plugins.
inline constexpr int32_t kShellCategory = 10;

// The server's exit code when plugin code crashed it.
inline constexpr uint32_t kCrashExitCode = 9;

// Dumps are named PREFIX-YYYY-MM-DD-HH-MM-SS.mdmp in the host's dump folder,
// from the prefix and the local time's year, month, day, hour, minute and second.
inline constexpr wchar_t kDumpNamePrefix[] = L"ScanServer-x64";
inline constexpr wchar_t kDumpNameFormat[] = L"%s-%.4i-%.2i-%.2i-%.2i-%.2i-%.2i.mdmp";
inline constexpr wchar_t kDumpNamePattern[] = L"ScanServer-x64-*.mdmp";

}  // namespace protocol

#include "channel/OutputChannel.h"

#include <cstring>

#include "channel/DumpLock.h"
#include "foundation/SharedString.h"
#include "protocol/Protocol.h"

namespace {

HANDLE outputHandle = nullptr;

void WriteChannelLine(const char* channel, const wchar_t* format, va_list arguments) {
    NarrowString line;
    if (!line.Assign(channel) || !line.Append(":")) return;
    WideString message = FormatV(format, arguments);
    NarrowString utf8 = ToUtf8(message.Chars());
    if (!line.Append(utf8.Chars())) return;
    WriteWholeLine(line.Chars(), static_cast<uint32_t>(std::strlen(line.Chars())));
}

}  // namespace

void SetOutputHandle(HANDLE output) {
    outputHandle = output;
}

HANDLE GetOutputHandle() {
    return outputHandle;
}

// One write and one flush per line, so the host has every line written
// before a plugin gets the chance to crash the process. The write waits at the
// dump lock: once a crash dump has begun, the server says nothing more, and
// the host learns of the crash from the exit code alone.
void WriteWholeLine(const char* bytes, uint32_t length) {
    EnterDumpLock();
    DWORD written = 0;
    WriteFile(outputHandle, bytes, length, &written, nullptr);
    FlushFileBuffers(outputHandle);
    LeaveDumpLock();
}

void WritePrompt() {
    WriteWholeLine(protocol::kPromptLine, protocol::kPromptLineBytes);
}

#define DEFINE_CHANNEL_WRITER(function, channel)      \
    void function(const wchar_t* format, ...) {       \
        va_list arguments;                            \
        va_start(arguments, format);                  \
        WriteChannelLine(channel, format, arguments); \
        va_end(arguments);                            \
    }

DEFINE_CHANNEL_WRITER(WriteInfo, protocol::kInfoChannel)
DEFINE_CHANNEL_WRITER(WriteWarning, protocol::kWarningChannel)
DEFINE_CHANNEL_WRITER(WriteError, protocol::kErrorChannel)
DEFINE_CHANNEL_WRITER(WriteReport, protocol::kReportChannel)

#include "app/RequestLoop.h"

#include <cstring>

#include "app/OutputChannel.h"
#include "foundation/SharedString.h"
#include "scan/ScanDriver.h"

namespace {

constexpr DWORD kRequestBufferBytes = 1024;

enum class RequestStatus { kClosed, kComplete, kTooLong };

void WritePrompt() {
    static const char kPrompt[] = "ready:\n";
    HANDLE output = GetOutputHandle();
    DWORD written = 0;
    WriteFile(output, kPrompt, sizeof(kPrompt) - 1, &written, nullptr);
    FlushFileBuffers(output);
}

// One read is one request. Only a read that fills the whole buffer without a
// line feed is continued, so that a long path reaches the scan whole.
RequestStatus ReadRequest(HANDLE input, NarrowString& request) {
    char buffer[kRequestBufferBytes];
    const DWORD chunkBytes = kRequestBufferBytes - 1;
    bool tooLong = false;
    bool first = true;
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(input, buffer, chunkBytes, &read, nullptr) || read == 0) {
            if (first) return RequestStatus::kClosed;
            break;
        }
        first = false;
        buffer[read] = 0;
        char* lineFeed = static_cast<char*>(std::memchr(buffer, '\n', read));
        if (lineFeed) *lineFeed = 0;
        DWORD taken = static_cast<DWORD>(std::strlen(buffer));
        if (!tooLong && static_cast<DWORD>(request.GetLength()) + taken > kMaxRequestBytes) {
            tooLong = true;
            request.Release();
        }
        if (!tooLong && !request.Append(buffer)) return RequestStatus::kClosed;
        if (lineFeed || read < chunkBytes) break;
    }
    return tooLong ? RequestStatus::kTooLong : RequestStatus::kComplete;
}

WideString WidenRequest(const NarrowString& request) {
    WideString path;
    int32_t bytes = request.GetLength();
    wchar_t* buffer = path.GetBuffer(bytes + 1);
    if (!buffer) return path;
    buffer[0] = 0;
    MultiByteToWideChar(CP_UTF8, 0, request.Chars() ? request.Chars() : "", -1, buffer,
                        bytes + 1);
    return path;
}

}  // namespace

void PumpWindowMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

void RunMessageLoop() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void RunRequestLoop(HANDLE input) {
    for (;;) {
        WritePrompt();
        NarrowString request;
        RequestStatus status = ReadRequest(input, request);
        if (status == RequestStatus::kClosed) break;
        PumpWindowMessages();
        if (status == RequestStatus::kTooLong) {
            RejectScanRequest(
                Format(L"Request longer than %i bytes, not scanned", kMaxRequestBytes));
            continue;
        }
        HandleScanRequest(WidenRequest(request));
    }
}

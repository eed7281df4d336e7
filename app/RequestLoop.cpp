#include "app/RequestLoop.h"

#include <cstring>

#include "app/OutputChannel.h"
#include "foundation/SharedString.h"
#include "scan/ScanDriver.h"

namespace {

constexpr DWORD kRequestBufferBytes = 1024;

enum class RequestStatus { kClosed, kComplete, kTooLong, kHoldsNul };

void WritePrompt() {
    WriteWholeLine("ready:\n");
}

// One read is one request. Only a read that fills the whole buffer without a
// line feed is continued, so that a long path reaches the scan whole. A request
// of several reads then ends only at its line feed: input that closes before
// it means the host died mid-request, and the fragment is no path to scan.
RequestStatus ReadRequest(HANDLE input, NarrowString& request) {
    char buffer[kRequestBufferBytes];
    const DWORD chunkBytes = kRequestBufferBytes - 1;
    DWORD requestBytes = 0;
    bool tooLong = false;
    bool holdsNul = false;
    for (bool first = true;; first = false) {
        DWORD read = 0;
        if (!ReadFile(input, buffer, chunkBytes, &read, nullptr) || read == 0) {
            return RequestStatus::kClosed;
        }
        buffer[read] = 0;
        char* lineFeed = static_cast<char*>(std::memchr(buffer, '\n', read));
        if (lineFeed) *lineFeed = 0;
        DWORD lineBytes = lineFeed ? static_cast<DWORD>(lineFeed - buffer) : read;
        holdsNul = holdsNul || std::strlen(buffer) < lineBytes;
        requestBytes += lineBytes;
        if (!tooLong && requestBytes > kMaxRequestBytes) {
            tooLong = true;
            request.Release();
        }
        if (!tooLong && !request.Append(buffer)) return RequestStatus::kClosed;
        if (!lineFeed && !(first && read < chunkBytes)) continue;
        if (tooLong) return RequestStatus::kTooLong;
        // A NUL byte in a request of several reads would splice the pieces
        // around it into a path the host never sent.
        if (holdsNul && !first) return RequestStatus::kHoldsNul;
        return RequestStatus::kComplete;
    }
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
        if (status == RequestStatus::kHoldsNul) {
            RejectScanRequest(Format(L"Request holds a NUL byte, not scanned"));
            continue;
        }
        HandleScanRequest(WidenRequest(request));
    }
}

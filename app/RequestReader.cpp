#include "app/RequestReader.h"

#include <cstring>

#include "protocol/Protocol.h"

namespace {

constexpr DWORD kRequestBufferBytes = 1024;

}  // namespace

// Only a read that fills the whole buffer without a line feed is continued,
// so that a long path reaches the scan whole. A line too long to keep is
// still read to its line feed, so that its rest is not taken for the next
// request; the same holds for a line that memory cannot hold.
RequestStatus ReadRequest(HANDLE input, NarrowString& request) {
    char buffer[kRequestBufferBytes];
    const DWORD chunkBytes = kRequestBufferBytes - 1;
    RequestStatus status = RequestStatus::kComplete;
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
        if (status == RequestStatus::kComplete &&
            static_cast<DWORD>(request.GetLength()) + taken > protocol::kMaxRequestBytes) {
            status = RequestStatus::kTooLong;
        }
        if (status == RequestStatus::kComplete && !request.Append(buffer)) {
            status = RequestStatus::kNoMemory;
        }
        if (status != RequestStatus::kComplete) request.Release();
        if (lineFeed || read < chunkBytes) break;
    }
    return status;
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

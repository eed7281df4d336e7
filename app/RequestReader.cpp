#include "app/RequestReader.h"

#include <cstring>

#include "protocol/Protocol.h"

namespace {

constexpr DWORD kRequestBufferBytes = 1024;

}  // namespace

// One read is one request. Only a read that fills the whole buffer without a
// line feed is continued, so that a long path reaches the scan whole. A request
// of several reads then ends only at its line feed: input that closes before
// it means the host died mid-request, and the fragment is no path to scan. A
// line too long to keep, or that memory cannot hold, is still read to its line
// feed, so that its rest is not taken for the next request.
RequestStatus ReadRequest(HANDLE input, NarrowString& request) {
    char buffer[kRequestBufferBytes];
    const DWORD chunkBytes = kRequestBufferBytes - 1;
    DWORD requestBytes = 0;
    bool holdsNul = false;
    RequestStatus status = RequestStatus::kComplete;
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
        if (status == RequestStatus::kComplete && requestBytes > protocol::kMaxRequestBytes) {
            status = RequestStatus::kTooLong;
        }
        if (status == RequestStatus::kComplete && !request.Append(buffer)) {
            status = RequestStatus::kNoMemory;
        }
        if (status != RequestStatus::kComplete) request.Release();
        if (!lineFeed && !(first && read < chunkBytes)) continue;
        // A path cut at a NUL byte, or pieces spliced around one, would be a
        // path the host never sent.
        if (status == RequestStatus::kComplete && holdsNul) {
            return RequestStatus::kHoldsNul;
        }
        return status;
    }
}

WideString WidenRequest(const NarrowString& request) {
    WideString path;
    int32_t bytes = request.GetLength();
    wchar_t* buffer = path.GetBuffer(bytes + 1);
    if (!buffer) return path;
    buffer[0] = 0;
    MultiByteToWideChar(CP_UTF8, 0, request.Chars() ? request.Chars() : "", -1, buffer, bytes + 1);
    return path;
}

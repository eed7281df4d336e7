#include "app/RequestLoop.h"

#include "app/RequestReader.h"
#include "channel/OutputChannel.h"
#include "protocol/Protocol.h"
#include "scan/ScanDispatch.h"
#include "splash/MessagePump.h"

namespace {

void AnswerRequest(RequestStatus status, const NarrowString& request) {
    if (status == RequestStatus::kTooLong) {
        RejectScanRequest(
            Format(L"Request longer than %i bytes, not scanned", protocol::kMaxRequestBytes));
        return;
    }
    if (status == RequestStatus::kHoldsNul) {
        RejectScanRequest(Format(L"Request holds a NUL byte, not scanned"));
        return;
    }
    WideString path = status == RequestStatus::kComplete ? WidenRequest(request) : WideString();
    if (path.IsNull()) {
        RejectScanRequest(Format(L"Not enough memory for the request, not scanned"));
        return;
    }
    HandleScanRequest(path);
}

}  // namespace

void RunRequestLoop(HANDLE input) {
    for (;;) {
        WritePrompt();
        NarrowString request;
        RequestStatus status = ReadRequest(input, request);
        if (status == RequestStatus::kClosed) break;
        PumpWindowMessages();
        AnswerRequest(status, request);
    }
}

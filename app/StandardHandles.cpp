#include "app/StandardHandles.h"

#include <io.h>

#include <cstdio>

#include "platform/KernelHandles.h"

namespace {

UniqueHandle CopyForServer(HANDLE handle) {
    UniqueHandle copy;
    if (!DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), copy.Receive(), 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
        return {};
    }
    return copy;
}

bool IsStandardHandle(HANDLE handle) {
    return handle == GetStdHandle(STD_INPUT_HANDLE) || handle == GetStdHandle(STD_OUTPUT_HANDLE) ||
           handle == GetStdHandle(STD_ERROR_HANDLE);
}

// The runtime's stream first: reopening it closes the handle it held, which
// may be one of the host's pipes. The system's standard handle then refers to
// the runtime's handle for the null device (none when that could not be opened).
void PointAtNullDevice(FILE* stream, const char* mode, DWORD standardHandle) {
    HANDLE nullDevice = INVALID_HANDLE_VALUE;
    if (freopen("NUL", mode, stream)) {
        nullDevice = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    }
    SetStdHandle(standardHandle, nullDevice);
}

}  // namespace

void TakeOverPipes(HANDLE& input, HANDLE& output) {
    UniqueHandle ownInput = CopyForServer(input);
    UniqueHandle ownOutput = CopyForServer(output);
    if (!ownInput.IsValid() || !ownOutput.IsValid()) return;
    // A standard handle is closed by the runtime when its stream is reopened;
    // a pipe handed over only on the command line is closed here.
    bool inputIsStandard = IsStandardHandle(input);
    bool outputIsStandard = IsStandardHandle(output);
    PointAtNullDevice(stdin, "r", STD_INPUT_HANDLE);
    PointAtNullDevice(stdout, "w", STD_OUTPUT_HANDLE);
    PointAtNullDevice(stderr, "w", STD_ERROR_HANDLE);
    if (!inputIsStandard) UniqueHandle(input).Close();
    if (!outputIsStandard && output != input) UniqueHandle(output).Close();
    // The copies serve the host until the process ends.
    input = ownInput.Detach();
    output = ownOutput.Detach();
}

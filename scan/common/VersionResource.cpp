#include "scan/common/VersionResource.h"

#include <cstring>

#include "platform/KernelHandles.h"

bool ReadFixedFileInfo(const WideString& path, VS_FIXEDFILEINFO& info) {
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path.Chars(), &handle);
    if (size == 0) return false;
    UniqueHeapBlock block(HeapAlloc(GetProcessHeap(), 0, size));
    if (!block.IsValid()) return false;
    if (!GetFileVersionInfoW(path.Chars(), handle, size, block.Get())) return false;
    void* root = nullptr;
    UINT rootBytes = 0;
    if (!VerQueryValueW(block.Get(), L"\\", &root, &rootBytes)) return false;
    // A root value shorter than the record would make us read past it.
    if (!root || rootBytes < sizeof(VS_FIXEDFILEINFO)) return false;
    std::memcpy(&info, root, sizeof(VS_FIXEDFILEINFO));
    return true;
}

WideString FileVersionText(const WideString& path) {
    VS_FIXEDFILEINFO info;
    if (!ReadFixedFileInfo(path, info)) return WideString();
    DWORD ms = info.dwProductVersionMS;
    DWORD ls = info.dwProductVersionLS;
    if (ms == 0 && ls == 0) {
        ms = info.dwFileVersionMS;
        ls = info.dwFileVersionLS;
    }
    if (ms == 0 && ls == 0) return WideString();
    return Format(L"%i.%i.%i.%i", HIWORD(ms), LOWORD(ms), HIWORD(ls), LOWORD(ls));
}

#include <windows.h>

#include <cwchar>

#include "foundation/SharedString.h"

// What of the strings needs Windows: their blocks live on the process heap,
// and formatting and UTF-8 come from the Microsoft runtime and the system.

namespace shared_string_detail {

void* AllocateBlock(size_t bytes) {
    return HeapAlloc(GetProcessHeap(), 0, bytes);
}

void* ReallocateBlock(void* block, size_t bytes) {
    return HeapReAlloc(GetProcessHeap(), 0, block, bytes);
}

void FreeBlock(void* block) {
    HeapFree(GetProcessHeap(), 0, block);
}

}  // namespace shared_string_detail

WideString FormatV(const wchar_t* format, va_list arguments) {
    va_list counting;
    va_copy(counting, arguments);
    int count = _vscwprintf(format, counting);
    va_end(counting);
    int32_t size = count < 0 ? 0 : count + 1;

    WideString text;
    wchar_t* buffer = text.GetBuffer(size);
    if (!buffer) return WideString();
    if (size > 0) _vswprintf_p(buffer, static_cast<size_t>(size), format, arguments);
    return text;
}

WideString Format(const wchar_t* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    WideString text = FormatV(format, arguments);
    va_end(arguments);
    return text;
}

NarrowString ToUtf8(const wchar_t* text) {
    NarrowString utf8;
    if (!text) return utf8;
    int32_t length = static_cast<int32_t>(wcslen(text));
    int32_t size = 3 * length + 3;
    char* buffer = utf8.GetBuffer(size);
    if (!buffer) return NarrowString();
    WideCharToMultiByte(CP_UTF8, 0, text, length + 1, buffer, size, nullptr, nullptr);
    return utf8;
}

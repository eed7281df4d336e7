#include "scan/common/ScanFailure.h"

#include <cstdarg>

bool Fail(WideString& error, const wchar_t* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    error = FormatV(format, arguments);
    va_end(arguments);
    return false;
}

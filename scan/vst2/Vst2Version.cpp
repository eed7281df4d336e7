#include "scan/vst2/Vst2Version.h"

WideString FormatVst2Version(int32_t version) {
    const int32_t v = version;
    if (v == 0) return EmptyText();
    if (v < 10) return Format(L"%i.0.0.0", v);
    if (v <= 9999)
        return Format(L"%i.%i.%i.%i", (v / 1000) % 10, (v / 100) % 10, (v / 10) % 10, v % 10);
    if (v <= 65535) {
        return Format(L"%i.%i.%i.%i", (v / 10000) % 10, (v / 1000) % 10, (v / 100) % 10,
                      (v / 10) % 10);
    }
    if (v <= 0x64FFFF) return Format(L"%i.%i.%i.%i", (v >> 16) & 255, (v >> 8) & 255, v & 255, 0);
    return Format(L"%i.%i.%i.%i", v / 10000000, (v / 100000) % 100, (v / 1000) % 100, v % 1000);
}

// Native stand-ins for the Windows text services, fixed to code page 932.
#include <cstdio>
#include <cstring>

#include "platform/ansi_text.h"

bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// lstrcmpA sorts by the user's locale; natively the order is plain byte
// order (unsigned), which agrees with it on the paths and names the
// product sorts: a prefix always sorts before its extensions.
int CompareAnsi(const char* a, const char* b) { return std::strcmp(a, b); }

int FormatAnsi(char* out, const char* format, va_list args) {
    int n = std::vsnprintf(out, kFormatLimit, format, args);
    if (n < 0) {
        out[0] = 0;
        return 0;
    }
    return n < kFormatLimit ? n : kFormatLimit - 1;
}

#include <windows.h>

#include "platform/ansi_text.h"

bool IsLeadByte(unsigned char c) { return IsDBCSLeadByte(c) != FALSE; }

int CompareAnsi(const char* a, const char* b) { return lstrcmpA(a, b); }

int FormatAnsi(char* out, const char* format, va_list args) {
    // wvsprintfA never writes more than 1024 bytes, terminator included.
    return wvsprintfA(out, format, args);
}

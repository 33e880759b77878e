// Character rules of the system's ANSI code page, as the text buffer needs them.
#pragma once
#include <cstdarg>

// True when byte c starts a double-byte character.
bool IsLeadByte(unsigned char c);
// Three-way string comparison in the order the system uses for sorting.
int CompareAnsi(const char* a, const char* b);
// Formats into out, which holds 1024 bytes; returns the length written.
int FormatAnsi(char* out, const char* format, va_list args);

constexpr int kFormatLimit = 1024;

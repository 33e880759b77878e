#pragma once
#include <windows.h>

#include <string>

// Saves what the screen shows of a window as a 24-bit BMP file.
bool SaveWindowBitmap(HWND window, const std::string& path);

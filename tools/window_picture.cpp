// Pictures of the converter's windows for the demo and the README.
#include "window_picture.h"

#include <vector>

bool SaveWindowBitmap(HWND window, const std::string& path) {
    RECT r;
    if (!GetWindowRect(window, &r)) return false;
    const int width = r.right - r.left, height = r.bottom - r.top;
    // Copy the whole screen first: a window's own frame is only seen there.
    const int screenWidth = GetSystemMetrics(SM_CXVIRTUALSCREEN), screenHeight = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    HDC screen = GetDC(nullptr);
    HDC whole = CreateCompatibleDC(screen);
    HBITMAP wholeBitmap = CreateCompatibleBitmap(screen, screenWidth, screenHeight);
    HGDIOBJ oldWhole = SelectObject(whole, wholeBitmap);
    BitBlt(whole, 0, 0, screenWidth, screenHeight, screen, 0, 0, SRCCOPY);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, whole, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);
    SelectObject(whole, oldWhole);
    DeleteObject(wholeBitmap);
    DeleteDC(whole);

    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    const DWORD rowBytes = ((width * 3 + 3) / 4) * 4;
    std::vector<BYTE> pixels(rowBytes * height);
    GetDIBits(memory, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD put;
    BOOL ok = WriteFile(h, &file, sizeof file, &put, nullptr) && WriteFile(h, &info, sizeof info, &put, nullptr) &&
              WriteFile(h, pixels.data(), static_cast<DWORD>(pixels.size()), &put, nullptr);
    CloseHandle(h);
    return ok != FALSE;
}

// Helpers for the Windows tests, through the Win32 calls themselves.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace wintest {
// A window's text, read with WM_GETTEXT, which reaches another process's edit.
std::string WindowText(HWND window);
// Names directly inside a folder, "." and ".." left out.
std::vector<std::string> NamesIn(const std::string& folder);
}  // namespace wintest

// Helpers for the Windows tests, through the Win32 calls themselves.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace wintest {
bool IsDir(const std::string& path);
bool IsFile(const std::string& path);
std::string WindowText(HWND window);
std::string ClassName(HWND window);
// Names directly inside a folder, "." and ".." left out.
std::vector<std::string> NamesIn(const std::string& folder);
// Removes a tree, read-only files included (test clean-up only).
void RemoveAll(const std::string& path);

}  // namespace wintest

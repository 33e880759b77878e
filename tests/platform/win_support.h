// Helpers for the Windows tests, through the Win32 calls themselves.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace wintest {
bool IsDir(const std::string& path);
bool IsFile(const std::string& path);
std::string CurrentDir();
std::string WindowText(HWND window);
std::string ClassName(HWND window);
// Names directly inside a folder, "." and ".." left out.
std::vector<std::string> NamesIn(const std::string& folder);
// Removes a tree, read-only files included (test clean-up only).
void RemoveAll(const std::string& path);

// One window a program showed, as read off the live window.
struct Shown {
    bool isDialog = false;      // the source dialog
    bool isFileDialog = false;  // the open-file dialog
    std::string text;  // a box's message, the source dialog's path edit, or the file name box
    std::string title;
    std::vector<int> buttons;  // a box's button ids, in window order
    std::vector<std::string> labels;  // the source dialog's controls' texts, in window order
    bool topmost = false;      // MB_SYSTEMMODAL boxes stay on top
    bool warningIcon = false;
    HWND window = nullptr, owner = nullptr;
};
Shown ReadShown(HWND window);
// The id of an open-file dialog's file name box: the Explorer-style
// dialog's combo box (cmb13), or the old style's edit (edt1).
int FileNameBox(HWND fileDialog);
// The visible top-level dialog-class windows of a process.
std::vector<HWND> DialogWindows(DWORD processId);
}  // namespace wintest

// Helpers for the Windows tests: ANSI-path file operations through the
// Win32 calls themselves, so Japanese names take the system code page.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace wintest {
bool MakeDir(const std::string& path);
bool MakeFile(const std::string& path, const std::string& bytes = "x");
bool IsDir(const std::string& path);
bool IsFile(const std::string& path);
std::string CurrentDir();
std::string WindowText(HWND window);
std::string ClassName(HWND window);
// Names directly inside a folder, "." and ".." left out.
std::vector<std::string> NamesIn(const std::string& folder);
// Removes a tree with the shell-independent calls (test clean-up only).
void RemoveAll(const std::string& path);

// A fresh folder under the temporary folder, path ending in "\".
class Folder {
public:
    Folder();
    ~Folder() { RemoveAll(path_); }
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};
}  // namespace wintest

#include "platform/win_support.h"


namespace wintest {
bool IsDir(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFile(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

// WM_GETTEXT, unlike GetWindowTextA, reads an edit of another process too.
std::string WindowText(HWND window) {
    char text[2048] = {};
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                        &ignored);
    return text;
}

std::string ClassName(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    std::string dir = folder;
    if (dir.empty() || dir.back() != '\\') dir += '\\';
    HANDLE h = FindFirstFileA((dir + "*").c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        std::string n = data.cFileName;
        if (n != "." && n != "..") names.push_back(n);
    } while (FindNextFileA(h, &data));
    FindClose(h);
    return names;
}

void RemoveAll(const std::string& path) {
    std::string dir = path;
    if (!dir.empty() && dir.back() == '\\') dir.pop_back();
    for (const std::string& n : NamesIn(dir)) {
        std::string child = dir + "\\" + n;
        SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (IsDir(child)) {
            RemoveAll(child);
        } else {
            DeleteFileA(child.c_str());
        }
    }
    RemoveDirectoryA(dir.c_str());
}
}  // namespace wintest

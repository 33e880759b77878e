#include "platform/win_support.h"

namespace wintest {
bool MakeDir(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) != FALSE; }

bool MakeFile(const std::string& path, const std::string& bytes) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD put = 0;
    BOOL ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
    CloseHandle(h);
    return ok && put == bytes.size();
}

bool IsDir(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFile(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string CurrentDir() {
    char buf[MAX_PATH * 2] = {};
    GetCurrentDirectoryA(sizeof buf, buf);
    return buf;
}

std::string WindowText(HWND window) {
    char text[2048] = {};
    GetWindowTextA(window, text, sizeof text);
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

Folder::Folder() {
    static int serial = 0;
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    for (;;) {
        path_ = std::string(temp) + "vaxu-win-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(serial++) + "\\";
        if (MakeDir(path_)) return;
    }
}
}  // namespace wintest

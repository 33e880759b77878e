#include "platform/win_support.h"

#include "app/resource.h"

namespace wintest {
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

namespace {
BOOL CALLBACK CollectControl(HWND child, LPARAM p) {
    auto* shown = reinterpret_cast<Shown*>(p);
    const std::string kind = ClassName(child);
    if (shown->isFileDialog) return TRUE;
    if (shown->isDialog && GetDlgCtrlID(child) != IDC_SOURCE_PATH) shown->labels.push_back(WindowText(child));
    if (!shown->isDialog && (kind == "Button" || kind == "BUTTON")) shown->buttons.push_back(GetDlgCtrlID(child));
    // The icon static of a box (SS_ICON) carries the warning icon.
    if (kind == "Static" && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
        shown->warningIcon = SendMessageA(child, STM_GETICON, 0, 0) != 0;
    return TRUE;
}

BOOL CALLBACK CollectDialog(HWND w, LPARAM p) {
    auto* found = reinterpret_cast<std::pair<DWORD, std::vector<HWND>>*>(p);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == found->first && IsWindowVisible(w) && ClassName(w) == "#32770") found->second.push_back(w);
    return TRUE;
}
}  // namespace

Shown ReadShown(HWND w) {
    Shown s;
    s.title = WindowText(w);
    s.topmost = (GetWindowLongA(w, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    s.window = w;
    s.owner = GetWindow(w, GW_OWNER);
    s.isDialog = GetDlgItem(w, IDC_SOURCE_PATH) != nullptr;
    s.isFileDialog = !s.isDialog && !GetDlgItem(w, 0xFFFF);
    const int text = s.isDialog ? IDC_SOURCE_PATH : s.isFileDialog ? FileNameBox(w) : 0xFFFF;
    s.text = WindowText(GetDlgItem(w, text));
    EnumChildWindows(w, CollectControl, reinterpret_cast<LPARAM>(&s));
    return s;
}

int FileNameBox(HWND fileDialog) { return GetDlgItem(fileDialog, 0x47C) ? 0x47C : 0x480; }

std::vector<HWND> DialogWindows(DWORD processId) {
    std::pair<DWORD, std::vector<HWND>> found{processId, {}};
    EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&found));
    return found.second;
}
}  // namespace wintest

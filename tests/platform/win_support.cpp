#include "platform/win_support.h"

namespace wintest {
std::string WindowText(HWND window) {
    char text[2048] = {};
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                        &ignored);
    return text;
}

std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA((folder + (folder.back() == '\\' ? "*" : "\\*")).c_str(), &data);
    for (bool more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileA(h, &data)) {
        const std::string n = data.cFileName;
        if (n != "." && n != "..") names.push_back(n);
    }
    if (h != INVALID_HANDLE_VALUE) FindClose(h);
    return names;
}
}  // namespace wintest

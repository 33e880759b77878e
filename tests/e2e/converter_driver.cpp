#include "e2e/converter_driver.h"

#include <cstdlib>
#include <cstring>

#include "app/resource.h"
#include "platform/win_support.h"

using namespace wintest;

namespace e2e {
namespace {

// The lines a box's message takes in its text control, wrapped at the
// control's width as the control draws it. Boxes draw it in the message
// font of the non-client metrics; the font handle the control holds
// belongs to the program's process and cannot be used from this one.
int DrawnLines(HWND text) {
    NONCLIENTMETRICSA metrics = {};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    RECT area;
    GetClientRect(text, &area);
    HDC dc = GetDC(text);
    HGDIOBJ old = SelectObject(dc, CreateFontIndirectA(&metrics.lfMessageFont));
    TEXTMETRICA line;
    GetTextMetricsA(dc, &line);
    const int height = DrawTextA(dc, WindowText(text).c_str(), -1, &area,
                                 DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
    DeleteObject(SelectObject(dc, old));
    ReleaseDC(text, dc);
    return line.tmHeight > 0 ? height / line.tmHeight : 0;
}

// One window as it is now: its kind, texts, buttons, style and owner. A
// box's message is its control 0xFFFF.
Shown ReadShown(HWND w) {
    Shown s;
    s.window = w;
    s.owner = GetWindow(w, GW_OWNER);
    s.title = WindowText(w);
    s.topmost = (GetWindowLongA(w, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    s.isDialog = GetDlgItem(w, IDC_SOURCE_PATH) != nullptr;
    s.isFileDialog = !s.isDialog && !GetDlgItem(w, 0xFFFF);
    // An open-file dialog's file name box: the Explorer-style dialog's combo
    // box (cmb13), or the old style's edit (edt1).
    const int box = s.isDialog ? IDC_SOURCE_PATH : !s.isFileDialog ? 0xFFFF : GetDlgItem(w, 0x47C) ? 0x47C : 0x480;
    s.textWindow = GetDlgItem(w, box);
    s.text = WindowText(s.textWindow);
    if (s.isFileDialog) return s;
    if (!s.isDialog) s.lines = DrawnLines(s.textWindow);
    for (HWND c = GetWindow(w, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        char kind[64] = {};
        GetClassNameA(c, kind, sizeof kind);
        if (!s.isDialog && !lstrcmpiA(kind, "Button")) s.buttons.push_back(GetDlgCtrlID(c));
        // The icon static of a box (SS_ICON) carries the warning icon.
        if (!lstrcmpiA(kind, "Static") && (GetWindowLongA(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            s.warningIcon = SendMessageA(c, STM_GETICON, 0, 0) != 0;
    }
    return s;
}
}  // namespace

std::string ConverterPath() {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const char* other = std::getenv("VAXU_CONVERTER");
    return other ? other : std::string(self, std::strrchr(self, '\\') + 1) + "VaxuConverter.exe";
}

// Each poll answers the visible, enabled dialog-class windows of the
// program but the one answered last, until it closes or another shows: a
// disabled window waits for a box of its own to close, and is answered
// again once it has.
Outcome RunConverter(const std::string& workingDir, const std::vector<Answer>& answers, ShownHook onShown) {
    Outcome out;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    const std::string program = ConverterPath();  // its command line is its path
    if (!CreateProcessA(program.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, workingDir.c_str(), &si, &pi))
        return out;
    HWND last = nullptr;
    for (DWORD start = GetTickCount(); WaitForSingleObject(pi.hProcess, 30) == WAIT_TIMEOUT;) {
        // A minute at most since the last window (the hook's time not
        // counted), and no window left without an answer.
        if (GetTickCount() - start > 60000 || out.shown.size() > answers.size()) TerminateProcess(pi.hProcess, 998);
        if (!IsWindow(last)) last = nullptr;  // handles of closed windows may come back for new ones
        for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, "#32770", nullptr)) != nullptr;) {
            DWORD processId = 0;
            GetWindowThreadProcessId(w, &processId);
            if (processId != pi.dwProcessId || w == last || !IsWindowVisible(w) || !IsWindowEnabled(w)) continue;
            Sleep(50);  // let the window finish opening
            out.shown.push_back(ReadShown(w));
            last = w;
            if (onShown) onShown(w, out.shown.back());
            start = GetTickCount();  // the minute is the program's, not the hook's
            if (out.shown.size() > answers.size()) break;  // ended at the next poll
            const Answer& a = answers[out.shown.size() - 1];
            const Shown& s = out.shown.back();
            if (!a.typed.empty()) SendMessageA(s.textWindow, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(a.typed.c_str()));
            if (a.byEnter) PostMessageA(s.textWindow, WM_KEYDOWN, VK_RETURN, 0);
            else PostMessageA(w, WM_COMMAND, a.button, 0);
        }
    }
    GetExitCodeProcess(pi.hProcess, &out.exitCode);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return out;
}
}  // namespace e2e

#include "e2e/converter_driver.h"

#include <algorithm>
#include <cstdlib>

#include "app/resource.h"

using wintest::ClassName;
using wintest::WindowText;

namespace e2e {
namespace {
constexpr DWORD kTimeoutMs = 60000;
constexpr char kLauncherClass[] = "VAXU_APP_WND_CLASS";

// The id of an open-file dialog's file name box: the Explorer-style
// dialog's combo box (cmb13), or the old style's edit (edt1).
int FileNameBox(HWND fileDialog) { return GetDlgItem(fileDialog, 0x47C) ? 0x47C : 0x480; }

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

// The lines a box's message takes in its text control, wrapped at the
// control's width as the control draws it. Boxes draw it in the message
// font of the non-client metrics; the font handle the control holds
// belongs to the program's process and cannot be used from this one.
int DrawnLines(HWND text) {
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof metrics;
    if (!text || !SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return 0;
    std::wstring message(GetWindowTextLengthW(text) + 1, L'\0');
    message.resize(GetWindowTextW(text, &message[0], static_cast<int>(message.size())));
    RECT area;
    GetClientRect(text, &area);
    HDC dc = GetDC(text);
    HFONT font = CreateFontIndirectW(&metrics.lfMessageFont);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW line;
    GetTextMetricsW(dc, &line);
    DrawTextW(dc, message.c_str(), -1, &area, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
    SelectObject(dc, old);
    DeleteObject(font);
    ReleaseDC(text, dc);
    return line.tmHeight > 0 ? static_cast<int>(area.bottom - area.top) / line.tmHeight : 0;
}

// One window as it is now: its kind, texts, buttons, style and owner.
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
    if (!s.isDialog && !s.isFileDialog) s.lines = DrawnLines(GetDlgItem(w, 0xFFFF));
    EnumChildWindows(w, CollectControl, reinterpret_cast<LPARAM>(&s));
    return s;
}

// The visible top-level dialog-class windows of a process.
std::vector<HWND> DialogWindows(DWORD processId) {
    std::pair<DWORD, std::vector<HWND>> found{processId, {}};
    EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&found));
    return found.second;
}

void Give(HWND w, const Shown& shown, const Answer& a) {
    const int edit = shown.isDialog ? IDC_SOURCE_PATH : FileNameBox(w);
    if (a.typed) SetDlgItemTextA(w, edit, a.text.c_str());
    if (a.byEnter) {
        PostMessageA(GetDlgItem(w, edit), WM_KEYDOWN, VK_RETURN, 0);
    } else {
        PostMessageA(w, WM_COMMAND, a.button, 0);
    }
}


std::string Beside(const char* name) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path = self;
    return path.substr(0, path.find_last_of('\\') + 1) + name;
}
}  // namespace

std::string ConverterPath() {
    if (const char* other = getenv("VAXU_CONVERTER")) return other;  // e.g. the unpacked release
    return Beside("VaxuConverter.exe");
}

Outcome RunConverter(const std::string& workingDir, std::vector<Answer> answers, ShownHook onShown) {
    Outcome out;
    std::string command = "\"" + ConverterPath() + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, workingDir.c_str(), &si, &pi))
        return out;
    std::vector<HWND> answered;
    size_t next = 0;
    const DWORD start = GetTickCount();
    while (WaitForSingleObject(pi.hProcess, 30) == WAIT_TIMEOUT) {
        if (GetTickCount() - start > kTimeoutMs || out.unexpectedWindow) {
            out.timedOut = !out.unexpectedWindow;
            TerminateProcess(pi.hProcess, 998);
            break;
        }
        // Handles of closed windows may come back for new ones.
        answered.erase(std::remove_if(answered.begin(), answered.end(), [](HWND w) { return !IsWindow(w); }),
                       answered.end());
        for (HWND w : DialogWindows(pi.dwProcessId)) {
            // A disabled window waits for a box of its own to close.
            if (!IsWindowEnabled(w) || std::find(answered.begin(), answered.end(), w) != answered.end()) continue;
            Sleep(50);  // let the window finish opening
            out.shown.push_back(ReadShown(w));
            answered.push_back(w);
            // Its owner, when answered, is answered again once this closes.
            answered.erase(std::remove(answered.begin(), answered.end(), out.shown.back().owner), answered.end());
            if (onShown) onShown(w, out.shown.back());
            out.unexpectedWindow = next >= answers.size();
            if (out.unexpectedWindow) break;
            Give(w, out.shown.back(), answers[next++]);
        }
    }
    WaitForSingleObject(pi.hProcess, INFINITE);
    GetExitCodeProcess(pi.hProcess, &out.exitCode);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return out;
}

FakeLauncher::FakeLauncher(const char* mode, const std::string& folder) {
    // A backslash before the closing quote is doubled, or it would escape it.
    const std::string arg = folder.back() == '\\' ? folder + "\\" : folder;
    std::string command = "\"" + Beside("fake_launcher.exe") + "\" " + mode + " \"" + arg + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &process_)) return;
    for (int waited = 0; !FindWindowA(kLauncherClass, nullptr) && waited < 20000; waited += 50) Sleep(50);
}

FakeLauncher::~FakeLauncher() {
    if (!process_.hProcess) return;
    if (Running()) TerminateProcess(process_.hProcess, 999);
    WaitForSingleObject(process_.hProcess, 10000);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

bool FakeLauncher::Running() const {
    return process_.hProcess && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

int FakeLauncher::DestroyMessages() const {
    DWORD code = 0;
    if (Running() || !GetExitCodeProcess(process_.hProcess, &code)) return -1;
    return static_cast<int>(code);
}
}  // namespace e2e

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
int g_destroyMessages = 0;
bool g_hung = false;

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

// Waits up to 30 ms for the process to end, handling messages sent to this
// thread's windows meanwhile.
bool StillRunning(HANDLE process) {
    if (g_hung) return WaitForSingleObject(process, 30) == WAIT_TIMEOUT;
    DWORD woke = MsgWaitForMultipleObjects(1, &process, FALSE, 30, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    return woke != WAIT_OBJECT_0;
}

LRESULT CALLBACK LauncherProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_DESTROY) ++g_destroyMessages;
    return DefWindowProcA(w, m, wp, lp);
}
}  // namespace

std::string ConverterPath() {
    if (const char* other = getenv("VAXU_CONVERTER")) return other;  // e.g. the unpacked release
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path = self;
    return path.substr(0, path.find_last_of('\\') + 1) + "VaxuConverter.exe";
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
    while (StillRunning(pi.hProcess)) {
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

FakeLauncher::FakeLauncher(bool hung) {
    g_destroyMessages = 0;
    g_hung = hung;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = LauncherProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kLauncherClass;
    RegisterClassA(&wc);
    window_ = CreateWindowA(kLauncherClass, "VAXU", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr, wc.hInstance,
                            nullptr);
}

FakeLauncher::~FakeLauncher() {
    g_hung = false;
    // Really destroy it now, without counting.
    SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DefWindowProcA));
    DestroyWindow(window_);
    UnregisterClassA(kLauncherClass, GetModuleHandleA(nullptr));
}

int FakeLauncher::DestroyMessages() const { return g_destroyMessages; }
}  // namespace e2e

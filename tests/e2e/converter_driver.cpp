#include "e2e/converter_driver.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>

#include "app/resource.h"
#include "platform/win_support.h"

namespace e2e {
using wintest::ClassName;
using wintest::WindowText;

namespace {
constexpr DWORD kTimeoutMs = 60000;
std::atomic<int> g_destroyMessages{0};

struct Search {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND w, LPARAM p) {
    auto* s = reinterpret_cast<Search*>(p);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == s->pid && IsWindowVisible(w) && ClassName(w) == "#32770") s->found.push_back(w);
    return TRUE;
}

BOOL CALLBACK CollectButtons(HWND child, LPARAM p) {
    auto* shown = reinterpret_cast<Shown*>(p);
    if (ClassName(child) == "Button" || ClassName(child) == "BUTTON") shown->buttons.push_back(GetDlgCtrlID(child));
    // The icon static of a box (SS_ICON) carries the warning icon.
    if (ClassName(child) == "Static" && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
        shown->warningIcon = SendMessageA(child, STM_GETICON, 0, 0) != 0;
    return TRUE;
}

BOOL CALLBACK CollectLabels(HWND child, LPARAM p) {
    reinterpret_cast<Shown*>(p)->labels.push_back(WindowText(child));
    return TRUE;
}

Shown Read(HWND w) {
    Shown s;
    s.title = WindowText(w);
    s.topmost = (GetWindowLongA(w, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    s.owner = GetWindow(w, GW_OWNER);
    if (HWND edit = GetDlgItem(w, IDC_SOURCE_PATH)) {
        s.isDialog = true;
        s.text = WindowText(edit);
        EnumChildWindows(w, CollectLabels, reinterpret_cast<LPARAM>(&s));
    } else {
        s.text = WindowText(GetDlgItem(w, 0xFFFF));
        EnumChildWindows(w, CollectButtons, reinterpret_cast<LPARAM>(&s));
    }
    return s;
}

void Give(HWND w, const Shown& shown, const Answer& a) {
    if (shown.isDialog && a.kind == Answer::TypeAndConvert) {
        SetDlgItemTextA(w, IDC_SOURCE_PATH, a.path.c_str());
        PostMessageA(w, WM_COMMAND, IDOK, 0);
    } else if (shown.isDialog) {
        PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
    } else {
        PostMessageA(w, WM_COMMAND, a.button, 0);
    }
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
    DWORD start = GetTickCount();
    while (WaitForSingleObject(pi.hProcess, 30) == WAIT_TIMEOUT) {
        if (GetTickCount() - start > kTimeoutMs) {
            out.timedOut = true;
            TerminateProcess(pi.hProcess, 998);
            break;
        }
        Search search{pi.dwProcessId, {}};
        EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
        // Handles of closed windows may come back for new ones.
        answered.erase(std::remove_if(answered.begin(), answered.end(), [](HWND w) { return !IsWindow(w); }),
                       answered.end());
        for (HWND w : search.found) {
            if (std::find(answered.begin(), answered.end(), w) != answered.end()) continue;
            Sleep(50);  // let the window finish opening
            Shown shown = Read(w);
            out.shown.push_back(shown);
            answered.push_back(w);
            if (onShown) onShown(w, shown);
            if (next >= answers.size()) {
                out.unexpectedWindow = true;
                TerminateProcess(pi.hProcess, 997);
                break;
            }
            Give(w, shown, answers[next++]);
        }
    }
    WaitForSingleObject(pi.hProcess, INFINITE);
    GetExitCodeProcess(pi.hProcess, &out.exitCode);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return out;
}

FakeLauncher::FakeLauncher(bool hung) : hung_(hung) {
    g_destroyMessages = 0;
    ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    release_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, Thread, this, 0, &threadId_);
    WaitForSingleObject(ready_, 10000);
}

FakeLauncher::~FakeLauncher() {
    SetEvent(release_);
    PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
    WaitForSingleObject(thread_, 10000);
    CloseHandle(thread_);
    CloseHandle(ready_);
    CloseHandle(release_);
}

int FakeLauncher::DestroyMessages() const { return g_destroyMessages; }

DWORD WINAPI FakeLauncher::Thread(LPVOID self) {
    auto* me = static_cast<FakeLauncher*>(self);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = LauncherProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "VAXU_APP_WND_CLASS";
    RegisterClassA(&wc);
    HWND w = CreateWindowA("VAXU_APP_WND_CLASS", "VAXU", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                           wc.hInstance, nullptr);
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // make the queue before saying ready
    SetEvent(me->ready_);
    if (me->hung_) WaitForSingleObject(me->release_, INFINITE);
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    // Really destroy it now, without counting.
    SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DefWindowProcA));
    DestroyWindow(w);
    UnregisterClassA("VAXU_APP_WND_CLASS", wc.hInstance);
    return 0;
}
}  // namespace e2e

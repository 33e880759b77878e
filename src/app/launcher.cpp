#include "app/launcher.h"

#include "app/messages.h"

namespace {
constexpr char kLauncherClass[] = "VAXU_APP_WND_CLASS";
constexpr UINT kLauncherCloseTimeoutMs = 3000;
constexpr DWORD kLauncherExitWaitMs = 10000;
constexpr DWORD kWindowPollMs = 100;
}  // namespace

bool LauncherEnded(HWND launcher, HANDLE process, DWORD limitMs) {
    if (process) return WaitForSingleObject(process, limitMs) == WAIT_OBJECT_0;
    for (DWORD waited = 0; IsWindow(launcher); waited += kWindowPollMs) {
        if (waited >= limitMs) return false;
        Sleep(kWindowPollMs);
    }
    return true;
}

// While the launcher runs on, the question comes again in other words. A
// box that cannot be shown closes nothing.
bool CloseRunningLauncher() {
    HWND launcher = FindWindowA(kLauncherClass, nullptr);
    if (!launcher) return true;
    DWORD processId = 0;
    GetWindowThreadProcessId(launcher, &processId);
    HANDLE process = processId ? OpenProcess(SYNCHRONIZE, FALSE, processId) : nullptr;
    bool ended = false;
    for (const char* question = messages::kLauncherRunning; !ended; question = messages::kLauncherStillRunning) {
        if (messages::ShowWarning(question, MB_YESNO) != IDYES) break;
        // A launcher that no longer answers must not hang the converter.
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(launcher, WM_DESTROY, 0, 0, SMTO_ABORTIFHUNG, kLauncherCloseTimeoutMs, &ignored);
        ended = LauncherEnded(launcher, process, kLauncherExitWaitMs);
    }
    if (process) CloseHandle(process);
    if (ended) Sleep(500);
    return ended;
}

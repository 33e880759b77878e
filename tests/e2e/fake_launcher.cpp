// Stands in for the running launcher: a window of its class in a process
// of its own. Usage: fake_launcher MODE FOLDER, where MODE is
//   ordinary  ends as soon as it gets WM_DESTROY;
//   stubborn  ends only at its second WM_DESTROY;
//   slow      takes 5 seconds over WM_DESTROY (longer than the converter's
//             send waits), then saves FOLDER\vaxu_cmd.txt and ends;
//   hung      never handles a message.
// The exit code is the number of WM_DESTROY messages it got.
#include <windows.h>

#include <cstring>
#include <string>

#include "e2e/converter_driver.h"

namespace {
int g_destroyMessages = 0;
bool g_slow = false;
int g_endsAt = 1;  // the WM_DESTROY it ends at
std::string g_folder;

LRESULT CALLBACK LauncherProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m != WM_DESTROY) return DefWindowProcA(w, m, wp, lp);
    if (++g_destroyMessages < g_endsAt) return 0;
    if (g_slow) {
        Sleep(5000);
        HANDLE f = CreateFileA((g_folder + "vaxu_cmd.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD put = 0;
        WriteFile(f, e2e::kLauncherSave, std::strlen(e2e::kLauncherSave), &put, nullptr);
        CloseHandle(f);
    }
    PostQuitMessage(0);
    return 0;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 100;
    const std::string mode = argv[1];
    g_slow = mode == "slow";
    g_endsAt = mode == "stubborn" ? 2 : 1;
    g_folder = argv[2];
    WNDCLASSA wc = {};
    wc.lpfnWndProc = LauncherProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "VAXU_APP_WND_CLASS";
    RegisterClassA(&wc);
    CreateWindowA(wc.lpszClassName, "VAXU", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr, wc.hInstance, nullptr);
    if (mode == "hung") Sleep(INFINITE);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    return g_destroyMessages;
}

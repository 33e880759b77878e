// Stands in for the running launcher: a window of its class in a process
// of its own, started in the install folder. Usage: fake_launcher MODE, where MODE is
//   ordinary  ends as soon as it gets WM_DESTROY;
//   stubborn  ends only at its second WM_DESTROY;
//   slow      takes 5 seconds over WM_DESTROY (longer than the converter's
//             send waits), then saves vaxu_cmd.txt and ends;
//   hung      never handles a message.
// The exit code is the number of WM_DESTROY messages it got.
#include <windows.h>

#include <cstdio>
#include <string>

#include "e2e/converter_driver.h"

namespace {
int g_destroyMessages = 0;
std::string g_mode;

LRESULT CALLBACK LauncherProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m != WM_DESTROY) return DefWindowProcA(w, m, wp, lp);
    if (++g_destroyMessages == 1 && g_mode == "stubborn") return 0;
    if (g_mode == "slow") {
        Sleep(5000);
        FILE* save = std::fopen("vaxu_cmd.txt", "wb");
        std::fputs(e2e::kLauncherSave, save);
        std::fclose(save);
    }
    PostQuitMessage(0);
    return 0;
}
}  // namespace

int main(int argc, char** argv) {
    g_mode = argc > 1 ? argv[1] : "ordinary";
    WNDCLASSA wc = {};
    wc.lpfnWndProc = LauncherProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "VAXU_APP_WND_CLASS";
    RegisterClassA(&wc);
    CreateWindowA(wc.lpszClassName, "VAXU", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr, wc.hInstance, nullptr);
    if (g_mode == "hung") Sleep(INFINITE);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    return g_destroyMessages;
}

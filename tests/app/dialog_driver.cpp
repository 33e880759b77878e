#include "app/dialog_driver.h"

#include <shlobj.h>

#include <cstring>

#include "app/resource.h"
#include "platform/win_support.h"

namespace wintest {
namespace {
DialogDriver* g_driver = nullptr;
}  // namespace

INT_PTR DialogDriver::Run(DLGPROC proc) {
    g_driver = this;
    hook_ = SetWindowsHookExA(WH_CBT, CbtHook, nullptr, GetCurrentThreadId());
    INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SOURCE_DIALOG),
                                     GetDesktopWindow(), proc, 0);
    if (timer_) KillTimer(nullptr, timer_);
    timer_ = 0;
    UnhookWindowsHookEx(hook_);
    g_driver = nullptr;
    return result;
}

LRESULT CALLBACK DialogDriver::CbtHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && g_driver) g_driver->OnActivate(reinterpret_cast<HWND>(wParam));
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void DialogDriver::OnActivate(HWND window) {
    if (ClassName(window) != "#32770" || window == dialog_) return;
    if (!dialog_) {
        dialog_ = window;  // the first dialog to open is the one under test
        Schedule();
        return;
    }
    if (window == pendingFileDialog_) return;
    if (HWND text = GetDlgItem(window, 0xFFFF)) {
        // A message box: record it and press its first button.
        boxes.push_back({WindowText(text), WindowText(window), GetWindow(window, GW_OWNER)});
        PostMessageA(window, WM_COMMAND, IDOK, 0);
        return;
    }
    fileDialogSeen = true;
    pendingFileDialog_ = window;
    Schedule();  // answered from the timer, once the dialog is fully up
}

void DialogDriver::Schedule() {
    if (!timer_) timer_ = SetTimer(nullptr, 0, 100, OnTimer);
}

void CALLBACK DialogDriver::OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    DialogDriver* d = g_driver;
    if (!d) return;
    KillTimer(nullptr, d->timer_);
    d->timer_ = 0;
    if (d->pendingFileDialog_) {
        HWND fileDialog = d->pendingFileDialog_;
        if (d->fileAnswer_) {
            d->fileAnswer_(fileDialog);
        } else {
            PostMessageA(fileDialog, WM_COMMAND, IDCANCEL, 0);
        }
        return;  // the step that opened it goes on once it has ended
    }
    if (!IsWindow(d->dialog_)) return;
    if (d->next_ < d->steps_.size()) {
        Step step = d->steps_[d->next_++];
        step(d->dialog_);  // may run a nested modal loop (a box, a file dialog)
        d->pendingFileDialog_ = nullptr;
        if (IsWindow(d->dialog_)) d->Schedule();
        return;
    }
    d->scriptRanOut = true;
    EndDialog(d->dialog_, -2);
}

std::string DialogDriver::EditText(HWND dialog) { return WindowText(GetDlgItem(dialog, IDC_SOURCE_PATH)); }

void DialogDriver::SetEditText(HWND dialog, const std::string& text) {
    SetDlgItemTextA(dialog, IDC_SOURCE_PATH, text.c_str());
}

void DialogDriver::Press(HWND dialog, int id) {
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void DialogDriver::Drop(HWND dialog, const std::vector<std::string>& paths) {
    size_t chars = 1;
    for (const std::string& p : paths) chars += p.size() + 1;
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + chars);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = FALSE;
    char* names = reinterpret_cast<char*>(drop + 1);
    for (const std::string& p : paths) {
        std::memcpy(names, p.c_str(), p.size() + 1);
        names += p.size() + 1;
    }
    GlobalUnlock(memory);
    SendMessageA(dialog, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}
}  // namespace wintest

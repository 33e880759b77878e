#include "app/dialog_driver.h"

#include <shlobj.h>

#include <algorithm>
#include <cstring>

#include "app/resource.h"

namespace wintest {
namespace {
DialogDriver* g_driver = nullptr;
}  // namespace

INT_PTR DialogDriver::Run(DLGPROC proc) {
    g_driver = this;
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, OnTimer);
    INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SOURCE_DIALOG),
                                     GetDesktopWindow(), proc, 0);
    KillTimer(nullptr, timer);
    g_driver = nullptr;
    return result;
}

void CALLBACK DialogDriver::OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (g_driver) g_driver->Tick();
}

void DialogDriver::Tick() {
    // The first window up is the dialog under test; later ones are
    // answered once each (a closed window's handle may come back).
    answered_.erase(std::remove_if(answered_.begin(), answered_.end(), [](HWND w) { return !IsWindow(w); }),
                    answered_.end());
    for (HWND w : DialogWindows(GetCurrentProcessId())) {
        if (!dialog_) dialog_ = w;
        if (w == dialog_ || std::find(answered_.begin(), answered_.end(), w) != answered_.end()) continue;
        answered_.push_back(w);
        if (GetDlgItem(w, 0xFFFF)) {
            boxes.push_back(ReadShown(w));
            PostMessageA(w, WM_COMMAND, IDOK, 0);
        } else {
            fileAnswer_ ? fileAnswer_(w) : (void)PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
        }
        return;
    }
    if (inStep_ || !dialog_ || !IsWindow(dialog_)) return;
    if (next_ >= steps_.size()) {
        EndDialog(dialog_, -2);
        return;
    }
    inStep_ = true;
    steps_[next_++](dialog_);  // may run a nested modal loop (a box, a file dialog)
    inStep_ = false;
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
    char* names = reinterpret_cast<char*>(drop + 1);
    for (const std::string& p : paths) names = std::strcpy(names, p.c_str()) + p.size() + 1;
    GlobalUnlock(memory);
    SendMessageA(dialog, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}
}  // namespace wintest

// Drives a modal dialog on the test's own thread, as a user would: a CBT
// hook notices each window that opens; scripted steps run one at a time
// from a thread timer inside the dialog's message loop; message boxes are
// recorded and answered; an open-file dialog is answered by a callback.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace wintest {

struct SeenBox {
    std::string text;
    std::string title;
    HWND owner;
};

class DialogDriver {
public:
    using Step = std::function<void(HWND dialog)>;
    // Called with the open-file dialog once it is up; it must end it.
    using FileDialogAnswer = std::function<void(HWND fileDialog)>;

    void Then(Step step) { steps_.push_back(std::move(step)); }
    void AnswerFileDialog(FileDialogAnswer answer) { fileAnswer_ = std::move(answer); }

    // Opens dialog 101 of this module with proc and runs the steps. When the
    // steps are used up and the dialog is still open, it is ended with -2
    // and scriptRanOut is set.
    INT_PTR Run(DLGPROC proc);

    std::vector<SeenBox> boxes;
    bool scriptRanOut = false;
    bool fileDialogSeen = false;

    // Helpers for steps.
    static std::string EditText(HWND dialog);
    static void SetEditText(HWND dialog, const std::string& text);
    static void Press(HWND dialog, int id);  // as a click: WM_COMMAND from the control
    // Sends WM_DROPFILES with an ANSI drop list of the given paths.
    static void Drop(HWND dialog, const std::vector<std::string>& paths);

private:
    static LRESULT CALLBACK CbtHook(int code, WPARAM wParam, LPARAM lParam);
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
    void Schedule();
    void OnActivate(HWND window);

    std::vector<Step> steps_;
    size_t next_ = 0;
    FileDialogAnswer fileAnswer_;
    HWND dialog_ = nullptr;
    HWND pendingFileDialog_ = nullptr;
    UINT_PTR timer_ = 0;
    HHOOK hook_ = nullptr;
};

}  // namespace wintest

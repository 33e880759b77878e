// Drives a modal dialog on the test's own thread, as a user would. One
// thread timer, which keeps firing inside nested modal loops, answers each
// message box the thread shows (with its first button) and each open-file
// dialog, and otherwise runs the next scripted step.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/win_support.h"

namespace wintest {

class DialogDriver {
public:
    using Step = std::function<void(HWND dialog)>;
    // Called with the open-file dialog once it is up; it must end it.
    // Without one, the file dialog is cancelled.
    using FileDialogAnswer = std::function<void(HWND fileDialog)>;

    void Then(Step step) { steps_.push_back(std::move(step)); }
    void AnswerFileDialog(FileDialogAnswer answer) { fileAnswer_ = std::move(answer); }

    // Opens the source dialog of this module with proc and runs the steps.
    // When the steps are used up and the dialog is still open, it is ended
    // with -2.
    INT_PTR Run(DLGPROC proc);

    std::vector<Shown> boxes;

    // Helpers for steps.
    static std::string EditText(HWND dialog);
    static void SetEditText(HWND dialog, const std::string& text);
    static void Press(HWND dialog, int id);  // as a click: WM_COMMAND from the control
    // Sends WM_DROPFILES with an ANSI drop list of the given paths.
    static void Drop(HWND dialog, const std::vector<std::string>& paths);

private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
    void Tick();

    std::vector<Step> steps_;
    size_t next_ = 0;
    FileDialogAnswer fileAnswer_;
    HWND dialog_ = nullptr;
    std::vector<HWND> answered_;
    bool inStep_ = false;
};

}  // namespace wintest

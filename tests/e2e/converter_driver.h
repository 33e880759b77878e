// Runs the real converter program as a user would and answers what it
// shows, one answer for each window in turn: a message box by a button; the
// source dialog by typing a path and pressing a button or Enter, or by
// cancelling; the open-file dialog by typing a name and pressing OK, or by
// cancelling. A dialog is answered again once a window it owns has closed.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace e2e {
// One window a program showed, as read off the live window.
struct Shown {
    bool isDialog = false, isFileDialog = false;  // the source dialog; the open-file dialog
    // The title, and a box's message, the source dialog's path edit or the
    // file name box.
    std::string title, text;
    std::vector<int> buttons;  // a box's button ids, in window order
    bool topmost = false, warningIcon = false;  // MB_SYSTEMMODAL boxes stay on top
    int lines = 0;  // the lines a box's message takes as drawn, word wrap included
    // The window, its owner, and the control its text is read from and typed into.
    HWND window = nullptr, owner = nullptr, textWindow = nullptr;
};

// The text, when there is any, is typed first into the path edit or the
// file name box; then the button is pressed, or Enter in the edit.
struct Answer {
    int button = IDOK;
    std::string typed = {};
    bool byEnter = false;
};

struct Outcome {
    std::vector<Shown> shown;
    // The program's own; 998 when the driver ended it: after a minute, or
    // when it showed a window with no answer left.
    DWORD exitCode = 999;
};

// Called for each window before it is answered.
using ShownHook = std::function<void(HWND window, const Shown& shown)>;

// Starts the converter in workingDir and answers in order.
Outcome RunConverter(const std::string& workingDir, const std::vector<Answer>& answers, ShownHook onShown = nullptr);

// The converter next to this program, or the one VAXU_CONVERTER names (the
// unpacked release).
std::string ConverterPath();
}  // namespace e2e

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

#include "platform/win_support.h"

namespace e2e {
// One window a program showed, as read off the live window.
struct Shown {
    bool isDialog = false;      // the source dialog
    bool isFileDialog = false;  // the open-file dialog
    std::string text;  // a box's message, the source dialog's path edit, or the file name box
    std::string title;
    std::vector<int> buttons;  // a box's button ids, in window order
    std::vector<std::string> labels;  // the source dialog's controls' texts, in window order
    bool topmost = false;      // MB_SYSTEMMODAL boxes stay on top
    bool warningIcon = false;
    int lines = 0;  // the lines a box's message takes as drawn, word wrap included
    HWND window = nullptr, owner = nullptr;
};

struct Answer {
    int button;           // pressed after typing
    bool typed = false;   // type text first into the path edit or the file name box
    std::string text;
    bool byEnter = false;  // press Enter in the edit instead of the button

    static Answer Button(int id) { return {id, false, ""}; }
    static Answer Type(const std::string& text, int then = IDOK) { return {then, true, text}; }
    static Answer Enter(const std::string& text) { return {IDOK, true, text, true}; }
    static Answer Cancel() { return Button(IDCANCEL); }
};

struct Outcome {
    std::vector<Shown> shown;
    DWORD exitCode = 999;
    bool timedOut = false;
    bool unexpectedWindow = false;  // shown with no answer left
};

// Called for each window before it is answered.
using ShownHook = std::function<void(HWND window, const Shown& shown)>;

// Starts the converter in workingDir and answers in order.
Outcome RunConverter(const std::string& workingDir, std::vector<Answer> answers, ShownHook onShown = nullptr);

// The converter next to this test program.
std::string ConverterPath();

// What the slow fake launcher saves as vaxu_cmd.txt when it ends.
constexpr char kLauncherSave[] = "[Saved by the launcher]\r\nPATH=C:\\exit.exe\r\n";

// The launcher running in a process of its own (fake_launcher.exe beside
// this program), its window open; ended at the latest when this goes.
class FakeLauncher {
public:
    // mode: "ordinary", "stubborn", "slow" or "hung"; folder: where "slow" saves.
    FakeLauncher(const char* mode, const std::string& folder);
    ~FakeLauncher();
    bool Running() const;
    // WM_DESTROY messages it got, once it has ended; -1 while it runs.
    int DestroyMessages() const;

private:
    PROCESS_INFORMATION process_ = {};
};

}  // namespace e2e

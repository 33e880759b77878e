// Runs the real converter program as a user would and answers what it
// shows: message boxes by button id, the source file dialog by typing a
// path and pressing convert, or by cancelling.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace e2e {

struct Answer {
    enum Kind { Press, TypeAndConvert, CancelDialog } kind;
    int button = 0;
    std::string path;

    static Answer Button(int id) { return {Press, id, ""}; }
    static Answer Type(const std::string& p) { return {TypeAndConvert, 0, p}; }
    static Answer Cancel() { return {CancelDialog, 0, ""}; }
};

// One window the converter showed, as read off the live window.
struct Shown {
    bool isDialog = false;
    std::string text;   // a box's message, or the dialog's path edit when it opened
    std::string title;
    std::vector<int> buttons;  // a box's button ids, in window order
    std::vector<std::string> labels;  // the dialog's controls' texts, in window order
    bool topmost = false;      // MB_SYSTEMMODAL boxes stay on top
    bool warningIcon = false;
    HWND owner = nullptr;
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

// A window of the launcher's class, owned by a thread of this process,
// that counts the WM_DESTROY messages it receives. A hung one stops
// pumping messages until it is destroyed.
class FakeLauncher {
public:
    explicit FakeLauncher(bool hung = false);
    ~FakeLauncher();
    int DestroyMessages() const;

private:
    static DWORD WINAPI Thread(LPVOID self);
    HANDLE thread_ = nullptr;
    HANDLE ready_ = nullptr;
    HANDLE release_ = nullptr;
    DWORD threadId_ = 0;
    bool hung_ = false;
};

}  // namespace e2e

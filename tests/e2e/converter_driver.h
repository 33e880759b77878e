// Runs the real converter program as a user would and answers what it
// shows: message boxes by button id, the source file dialog by typing a
// path and pressing convert, or by cancelling.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/win_support.h"

namespace e2e {
using wintest::Shown;

struct Answer {
    enum Kind { Press, TypeAndConvert, CancelDialog } kind;
    int button = 0;
    std::string path;

    static Answer Button(int id) { return {Press, id, ""}; }
    static Answer Type(const std::string& p) { return {TypeAndConvert, 0, p}; }
    static Answer Cancel() { return {CancelDialog, 0, ""}; }
};

struct Outcome {
    std::vector<Shown> shown;
    DWORD exitCode = 999;
    bool timedOut = false;
    bool unexpectedWindow = false;  // shown with no answer left
};

// Called for each window before it is answered.
using ShownHook = std::function<void(HWND window, const Shown& shown)>;

// Starts the converter in workingDir and answers in order. Meanwhile this
// thread handles the messages sent to its windows, unless a FakeLauncher
// made it hang.
Outcome RunConverter(const std::string& workingDir, std::vector<Answer> answers, ShownHook onShown = nullptr);

// The converter next to this test program.
std::string ConverterPath();

// A window of the launcher's class on this thread that counts the
// WM_DESTROY messages it receives. A hung one's thread stops handling
// messages while the converter runs.
class FakeLauncher {
public:
    explicit FakeLauncher(bool hung = false);
    ~FakeLauncher();
    int DestroyMessages() const;

private:
    HWND window_ = nullptr;
};

}  // namespace e2e

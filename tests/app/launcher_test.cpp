// The wait for a launcher whose process could not be opened: its window is
// watched, and the wait gives up at its limit.
#include "app/launcher.h"

#include <gtest/gtest.h>

#include <thread>

namespace {
// A window of a thread of its own, destroyed after ms milliseconds.
class ShortLivedWindow {
public:
    explicit ShortLivedWindow(DWORD ms) {
        HANDLE made = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        thread_ = std::thread([this, ms, made] {
            window_ = CreateWindowA("STATIC", "launcher", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
            SetEvent(made);
            Sleep(ms);
            DestroyWindow(window_);
        });
        WaitForSingleObject(made, INFINITE);
        CloseHandle(made);
    }
    ~ShortLivedWindow() { thread_.join(); }
    HWND Window() const { return window_; }

private:
    HWND window_ = nullptr;
    std::thread thread_;
};
}  // namespace

TEST(Launcher, WithoutItsProcessTheWindowIsWaitedForUpToTheLimit) {
    {
        ShortLivedWindow launcher(3000);
        ASSERT_TRUE(IsWindow(launcher.Window()));
        EXPECT_FALSE(LauncherEnded(launcher.Window(), nullptr, 500)) << "given up before it closed";
    }
    ShortLivedWindow launcher(200);
    EXPECT_TRUE(LauncherEnded(launcher.Window(), nullptr, 10000));
}

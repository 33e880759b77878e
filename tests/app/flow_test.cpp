// The start-up's DLL search, and the flow's parts that no end-to-end run
// reaches: the wait for a launcher whose process could not be opened, and
// the box after a save that failed twice.
#include "app/dll_search.h"
#include "app/flow.h"
#include "app/launcher.h"
#include "app/messages.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
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

// Without its process, the launcher's window is watched up to the limit.
TEST(Launcher, WithoutItsProcessTheWindowIsWaitedForUpToTheLimit) {
    {
        ShortLivedWindow launcher(3000);
        ASSERT_TRUE(IsWindow(launcher.Window()));
        EXPECT_FALSE(LauncherEnded(launcher.Window(), nullptr, 500)) << "given up before it closed";
    }
    ShortLivedWindow launcher(200);
    EXPECT_TRUE(LauncherEnded(launcher.Window(), nullptr, 10000));
}

// The heading, then one line for each file to put back, in the files' order.
TEST(NotRestoredBox, NamesEachFileToPutBackAndHow) {
    using namespace messages;
    const std::string heading = std::string(kNotRestored) + "\n";
    const struct { Restore settings, commands; std::string lines; } cases[] = {
        {Restore::FromBackup, Restore::Nothing, kRestoreSettings},
        {Restore::Nothing, Restore::Remove, kRemoveCommands},
        {Restore::Remove, Restore::FromBackup, std::string(kRemoveSettings) + "\n" + kRestoreCommands},
    };
    for (const auto& c : cases) {
        StrBuf text;
        ASSERT_TRUE(NotRestoredText(c.settings, c.commands, text));
        EXPECT_EQ(text.Text(), heading + c.lines);
    }
}

// A DLL planted beside the program is not loaded by its bare name once the
// program's start-up code has run; system DLLs still are.
TEST(DllSearch, APlantedDllIsNotLoadedButSystemOnesAre) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const std::string planted = std::string(self).substr(0, std::string(self).find_last_of('\\') + 1) + "planted.dll";
    RestrictDllSearch();
    EXPECT_EQ(LoadLibraryA("planted.dll"), nullptr);
    EXPECT_NE(LoadLibraryA("uxtheme.dll"), nullptr);
    EXPECT_NE(LoadLibraryA(planted.c_str()), nullptr) << "a loadable DLL is there, by its full path";
}

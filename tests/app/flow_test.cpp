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

// A window of a thread of its own, destroyed after ms milliseconds; the
// thread, to be joined.
static std::thread ShortLivedWindow(DWORD ms, HWND& window) {
    HANDLE made = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread thread([&window, ms, made] {
        window = CreateWindowA("STATIC", "launcher", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        SetEvent(made);
        Sleep(ms);
        DestroyWindow(window);
    });
    WaitForSingleObject(made, INFINITE);
    CloseHandle(made);
    return thread;
}

// Without its process, the launcher's window is watched up to the limit.
TEST(Launcher, WithoutItsProcessTheWindowIsWaitedForUpToTheLimit) {
    HWND window = nullptr;
    std::thread slow = ShortLivedWindow(3000, window);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_FALSE(LauncherEnded(window, nullptr, 500)) << "given up before it closed";
    slow.join();
    std::thread quick = ShortLivedWindow(200, window);
    EXPECT_TRUE(LauncherEnded(window, nullptr, 10000));
    quick.join();
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

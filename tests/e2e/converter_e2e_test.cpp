// The converter end to end: the real program, the real registry, folders
// and windows, under Wine. Every text it shows is checked here, once, byte
// for byte against the program's own texts.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdlib>
#include <tuple>

#include "app/messages.h"
#include "app/resource.h"
#include "e2e/converter_driver.h"
#include "platform/directories.h"
#include "platform/files.h"
#include "platform/win_support.h"
#include "test_support.h"

namespace {
using namespace messages;
// The source dialog, with the text its path edit holds; the file dialog.
const std::string kDialog = "<dialog>", kFileDialog = "<file dialog>";
std::string Dialog(const std::string& edit = "") { return kDialog + edit; }

// An old settings file, and what the conversion makes of it (its rules
// are the core tests' to check).
const char kLegacy[] = "#HotKey 3 90\r\nメモ帳 C:\\Windows\\notepad.exe [CD:C:\\Users] [Comment:テキスト]\r\n";
const char kHotKey[] = "[HotKey]\r\nALT=1\r\nShift=0\r\nCtrl=1\r\nKey=90\r\n";  // in vaxu.ini
const char kConverted[] = "[メモ帳]\r\nPATH=C:\\Windows\\notepad.exe  \r\nFOLDER=C:\\Users\r\nCOMMENT=テキスト\r\n";
const std::string kLM = "HKEY_LOCAL_MACHINE", kCU = "HKEY_CURRENT_USER";

// The launcher's key in .reg form, with a value when named: data such as
// "dword:00000001" as it is, any other as a string. The file is read as
// ANSI text: a trail byte 0x5C is no backslash.
std::string Reg(const std::string& root, const char* name = nullptr, const std::string& data = "") {
    std::string text = "[" + root + "\\SOFTWARE\\VAXU]\r\n";
    if (!name) return text;
    if (data.rfind("dword:", 0) == 0) return text + "\"" + name + "\"=" + data + "\r\n";
    text = text + "\"" + name + "\"=\"";
    for (const char* c = data.c_str(); *c; c = CharNextA(c))
        text.append(*c == '\\' || *c == '"' ? "\\" : "").append(c, CharNextA(c) - c);
    return text + "\"\r\n";
}

// Whether done() comes true within ms milliseconds, polled.
template <typename Done>
bool WaitFor(DWORD ms, const Done& done) {
    for (const DWORD start = GetTickCount(); !done(); Sleep(20))
        if (GetTickCount() - start > ms) return false;
    return true;
}

// What the slow fake launcher saves as vaxu_cmd.txt when it ends.
const char kLauncherSave[] = "[Saved by the launcher]\r\nPATH=C:\\exit.exe\r\n";
int g_destroyMessages = 0;

// Started as "vaxu_e2e_tests --launcher MODE" in the install folder, this
// program stands in for the running launcher, before any test could run:
// a window of its class in a process of its own, which ends with the
// number of WM_DESTROY messages it got. MODE is
//   ordinary  ends at its first WM_DESTROY;
//   stubborn  ends only at its second;
//   slow      takes 5 seconds over it (longer than the converter's send
//             waits), then saves vaxu_cmd.txt and ends;
//   hung      never handles a message.
LRESULT CALLBACK LauncherProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m != WM_DESTROY) return DefWindowProcA(w, m, wp, lp);
    const std::string mode = __argv[2];
    if (++g_destroyMessages == 1 && mode == "stubborn") return 0;
    if (mode == "slow") {
        Sleep(5000);
        test::WriteBytes("vaxu_cmd.txt", kLauncherSave);
    }
    PostQuitMessage(0);
    return 0;
}
const bool g_isLauncher = __argc == 3 && std::string(__argv[1]) == "--launcher" && []() -> bool {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = LauncherProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "VAXU_APP_WND_CLASS";
    RegisterClassA(&wc);
    CreateWindowA(wc.lpszClassName, "VAXU", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr, wc.hInstance, nullptr);
    if (std::string(__argv[2]) == "hung") Sleep(INFINITE);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    ExitProcess(g_destroyMessages);
}();

// A window the converter is expected to show, and the answer it gets: a
// button, after the text, if any, was typed (or Enter in the edit).
struct Step {
    std::string shown;
    e2e::Answer answer;
};

class Converter : public ::testing::Test {
protected:
    // The old settings file where "Folder" names it.
    void SetUp() override {
        test::MakeFolder(old);
        test::WriteBytes(old + "path.txt", kLegacy);
    }
    void TearDown() override { SetRegistry(""); }

    // A standard installation under root; from, when given, is where the
    // old files are ("Folder", always the user's).
    std::string Installed(const std::string& root = kLM, const std::string& from = "") {
        return Reg(root, "Version", "0.70") + Reg(root, "InstFolder", inst) +
               (from.empty() ? "" : Reg(kCU, "Folder", from));
    }
    // The launcher's installer is a 32-bit program: its values land in the
    // 32-bit view of HKLM. So the registry is set up as it does, by a
    // separate 32-bit process (reg from SysWOW64), never from inside this
    // test: the launcher's keys cleared, then reg.
    void SetRegistry(const std::string& reg, const char* view = "32") {
        const std::string cleared = "[-" + kLM + "\\SOFTWARE\\VAXU]\r\n[-" + kCU + "\\SOFTWARE\\VAXU]\r\n";
        test::WriteBytes(base / "setup.reg", "REGEDIT4\r\n\r\n" + cleared + reg);
        const std::string import = "C:\\windows\\syswow64\\reg.exe import \"" + base / "setup.reg\" /reg:" + view;
        ASSERT_EQ(std::system(import.c_str()), 0);
    }
    // Number of values in the key as a 32-bit program sees it, -1 when missing.
    static int ValueCount(HKEY root) {
        HKEY h;
        DWORD values = 0;
        if (RegOpenKeyExA(root, "SoftWare\\VAXU\\", 0, KEY_READ | KEY_WOW64_32KEY, &h) != ERROR_SUCCESS) return -1;
        RegQueryInfoKeyA(h, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr, nullptr);
        RegCloseKey(h);
        return static_cast<int>(values);
    }

    // Runs the converter and checks every window it showed, in order: the
    // dialogs by their texts; each box by text, title, buttons, style and
    // owner: the program's own are system-modal warnings on the desktop,
    // the dialog's plain boxes it owns.
    void Run(const std::vector<Step>& steps, e2e::ShownHook onShown = nullptr) {
        std::vector<e2e::Answer> answers;
        for (const Step& step : steps) answers.push_back(step.answer);
        const e2e::Outcome o = e2e::RunConverter(base.Path(), answers, onShown);
        EXPECT_EQ(o.exitCode, 0u);
        ASSERT_EQ(o.shown.size(), steps.size());
        for (size_t i = 0; i < steps.size(); ++i) {
            const e2e::Shown& s = o.shown[i];
            const std::string& want = steps[i].shown;
            if (want == kFileDialog) {
                EXPECT_TRUE(s.isFileDialog && s.text.find('"') == std::string::npos) << i << ": " << s.text;
            } else if (want.rfind(kDialog, 0) == 0) {
                EXPECT_EQ(std::tie(s.isDialog, s.title, s.text),
                          std::make_tuple(true, kDialogTitle, want.substr(kDialog.size()))) << i;
            } else {
                const bool owned = want == kNoSourceEntered || want == kSourceMissing;  // the dialog's own
                const bool question = want == kNoFolder || want == kLauncherRunning || want == kLauncherStillRunning;
                const std::vector<int> buttons = question ? std::vector<int>{IDYES, IDNO} : std::vector<int>{IDOK};
                const int lines = std::count(want.begin(), want.end(), '\n') + 1;
                EXPECT_EQ(std::tie(s.text, s.title, s.buttons, s.lines, s.topmost, s.warningIcon, s.owner),
                          std::make_tuple(want, owned ? kWarningTitle : kTitle, buttons, lines, !owned, !owned,
                                          owned && i > 0 ? o.shown[i - 1].window : nullptr)) << i;
            }
        }
    }
    test::TempDir base;
    // "ソ" and "表" end in the byte 0x5C: the folders are still made one by one.
    std::string inst = base / "ソフト\\表\\", old = base / "old\\";
};
}  // namespace

// One row for each scenario: the launcher's registry (its keys cleared
// first), the windows and their answers, the folder converted into (""
// when nothing may be written in the install folder), the mode of the
// launcher that runs, if one does, the WM_DESTROY messages it got
// (STILL_ACTIVE: it runs on), and whether the old version's per-user
// Start-menu folder and start-up shortcut go. The launcher's key is only
// ever read.
TEST_F(Converter, EachScenarioShowsItsWindowsAndLeavesItsFiles) {
    const char* unreadable = std::getenv("VAXU_UNREADABLE_SOURCE");
    ASSERT_NE(unreadable, nullptr) << "run through ctest, which makes it";
    const int ids[] = {CSIDL_PROGRAMS, CSIDL_STARTUP, CSIDL_APPDATA};
    char shell[3][MAX_PATH] = {};
    for (int i = 0; i < 3; ++i) SHGetFolderPathA(nullptr, ids[i], nullptr, 0, shell[i]);
    const std::string programs = shell[0] + std::string("\\ヴァクス\\"), appData = shell[2] + std::string("\\vaxu\\");
    const std::string startup = shell[1] + std::string("\\ヴァクス.lnk"), on = "dword:00000001", off = "dword:00000000";
    const std::string path = old + "path.txt", quoted = "\"" + path + "\"", held = base / "held.txt";
    for (const char* name : {"path.txt", "opath.txt", "held.txt", "設定ソ.txt"})
        test::WriteBytes(base / name, kLegacy);
    test::WriteBytes(base / "badpath.txt", "no hot key here\r\n");
    test::WriteBytes(base / "afile");
    HANDLE holder = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);  // sharing nothing
    const std::string installed = Installed(kLM, old), asks = Installed(kLM, base / "none\\");  // asks: none to find
    const Step yes = {kLauncherRunning, IDYES}, found = {kFound, IDOK}, done = {kCompleted, IDOK};
    const struct { std::string reg; std::vector<Step> steps; std::string converted = "", launcher = "";
                   DWORD destroyMessages = 0; bool removesShortcuts = false; } cases[] = {
        // Installed means Version 0.70 or later in the first key that opens:
        // HKLM, else HKCU, made empty when missing; a value over 500 bytes is
        // not read. Either answer to the missing folder ends.
        {"", {{kNotInstalled, IDOK}}},
        {Reg(kLM, "Version", "0.69"), {{kNotInstalled, IDOK}}},
        {Reg(kLM) + Reg(kCU, "Version", "0.70"), {{kNotInstalled, IDOK}}},
        {Reg(kLM, "Version", std::string(600, '1')), {{kNotInstalled, IDOK}}},
        {Reg(kLM, "Version", "0.7beta") + Reg(kCU, "InstFolder", inst), {{kNoFolder, IDYES}}},
        {Reg(kLM, "Version", "1.0"), {{kNoFolder, IDNO}}},
        // The detected file is announced and converted into a new folder.
        // "Folder" is joined with "path.txt" without a separator; with no
        // "Folder", path.txt is read from the current directory after the
        // install folder was made: making it must not move it.
        {installed, {found, done}, inst},
        {Installed(kLM, base / "o"), {found, done}, inst},
        {Installed(kLM, ""), {found, done}, inst},
        // An all-users conversion removes the per-user shortcuts; with
        // "MultiUser", or none, it converts into the user's own folder.
        {installed + Reg(kLM, "AllUsers", on) + Reg(kLM, "MultiUser", off), {found, done}, inst, "", 0, true},
        {installed + Reg(kLM, "AllUsers", on), {found, done}, appData, "", 0, true},  // multi-user
        {installed + Reg(kLM, "MultiUser", on), {found, done}, inst},                 // per user
        {Installed(kCU, old) + Reg(kCU, "AllUsers", on), {found, done}, inst},        // HKCU only
        // The launcher saves its own settings as it ends, so the files change
        // only once it has ended: a slow one is waited for, and its last save
        // becomes the backup; about a hung one the question comes again,
        // saying so. Only "yes" closes it: not "no", nor neither button (a
        // box that cannot be shown). One started as the dialog shows is asked
        // about before anything is written.
        {installed, {{kLauncherRunning, IDNO}}, "", "ordinary", STILL_ACTIVE},
        {installed, {{kLauncherRunning, IDOK}}, "", "ordinary", STILL_ACTIVE},
        {installed, {yes, found, done}, inst, "ordinary", 1},
        {installed, {yes, {kLauncherStillRunning, IDYES}, found, done}, inst, "stubborn", 2},
        {installed, {yes, found, done}, inst, "slow", 1},
        {installed, {yes, {kLauncherStillRunning, IDNO}}, "", "hung", STILL_ACTIVE},
        {asks, {{Dialog(), IDOK, path}, yes, done}, inst, "slow", 1},
        // Entries the dialog refuses stay in it; an entry that exists but is
        // no settings file brings the dialog back empty. Browsing never shows
        // quotes to the file dialog, and a cancelled browse keeps what was
        // typed.
        {asks, {{Dialog(), IDOK}, {kNoSourceEntered, IDOK},
          {Dialog(), IDOK, "  " + path}, {kSourceMissing, IDOK},  // blanks alone are not trimmed
          {Dialog("  " + path), IDOK, base / "old"}, {kNotSettingsFile, IDOK},  // a folder, without its separator
          {Dialog(), IDOK, old + "pa*.txt"}, {kNotSettingsFile, IDOK},
          {Dialog(), IDC_BROWSE, quoted}, {kFileDialog, IDCANCEL},
          {Dialog(quoted), IDC_BROWSE}, {kFileDialog, IDOK, path},
          {Dialog(path), IDOK, " " + quoted + "\t", true}, {kCompleted, IDOK}}, inst},
        // A detected file that fails is offered once. Each failure is told
        // and the dialog comes back; cancelling it ends the program. A file
        // that another program holds without sharing is told as held, not as
        // no settings file. A path pasted as Explorer's "Copy as path" gives
        // it, in double quotes, is taken. The unreadable source is a link to
        // a Unix file whose reads fail with an I/O error. The install folder
        // cannot be made under a file.
        {Installed(kLM, base / "bad") + Reg(kLM, "InstFolder", base / "afile\\sub\\"),
         {found, {kNotSettingsFile, IDOK},
          {Dialog(), IDOK, held}, {kSourceHeld, IDOK},
          {Dialog(), IDOK, unreadable}, {kSourceUnreadable, IDOK},
          {Dialog(), IDOK, "\"" + base / "設定ソ.txt" + "\""}, {kNotSaved, IDOK},
          {Dialog(), IDCANCEL}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        SetRegistry(c.reg);
        // The last install folder moved away whole.
        MoveFileA((base / "ソフト").c_str(), (base / std::to_string(&c - cases)).c_str());
        test::MakeFolder(programs);
        test::WriteBytes(programs + "ヴァクス.lnk");
        test::WriteBytes(startup);
        // The launcher (this program, started as such) runs in its install
        // folder, its window open, until it ends or the row does.
        PROCESS_INFORMATION launcher = {};
        const auto start = [&](HWND, const e2e::Shown&) {
            if (c.launcher.empty() || launcher.hProcess) return;
            SHCreateDirectoryExA(nullptr, inst.c_str(), nullptr);
            char self[MAX_PATH] = {};
            GetModuleFileNameA(nullptr, self, MAX_PATH);
            std::string command = "vaxu_e2e_tests --launcher " + c.launcher;
            STARTUPINFOA si = {};
            si.cb = sizeof si;
            CreateProcessA(self, &command[0], nullptr, nullptr, FALSE, 0, nullptr, inst.c_str(), &si, &launcher);
            WaitFor(20000, [] { return FindWindowA("VAXU_APP_WND_CLASS", nullptr) != nullptr; });
        };
        if (c.steps[0].shown != kDialog) start(nullptr, {});
        const int values = ValueCount(HKEY_LOCAL_MACHINE);
        Run(c.steps, start);
        EXPECT_EQ(ValueCount(HKEY_LOCAL_MACHINE), values) << "the launcher's key is only read";
        EXPECT_TRUE(!c.reg.empty() || ValueCount(HKEY_CURRENT_USER) == 0) << "the HKCU key is made, empty";
        DWORD destroyMessages = 0;
        GetExitCodeProcess(launcher.hProcess, &destroyMessages);  // the fake launcher's exit code
        EXPECT_EQ(destroyMessages, c.destroyMessages);
        TerminateProcess(launcher.hProcess, 0);
        WaitForSingleObject(launcher.hProcess, 10000);
        CloseHandle(launcher.hThread);
        CloseHandle(launcher.hProcess);
        if (!c.converted.empty()) {
            EXPECT_NE(test::ReadBytes(c.converted + "vaxu.ini").find(kHotKey), std::string::npos);
            EXPECT_EQ(test::ReadBytes(c.converted + "vaxu_cmd.txt"), kConverted);
        }
        // Nothing written in the install folder, not even made, but by the launcher.
        const bool untouched = c.launcher.empty() ? ProbeFile(inst.c_str()) == FileStatus::Missing : wintest::NamesIn(inst).empty();
        EXPECT_TRUE(c.converted == inst || untouched);
        EXPECT_EQ(test::ReadBytes(inst + "vaxu_cmd.txt.bak"), c.launcher == "slow" ? kLauncherSave : "<missing>");
        EXPECT_TRUE((ProbeFile(programs.c_str()) == FileStatus::Done) != c.removesShortcuts && FileExists(startup.c_str()) != c.removesShortcuts);
    }
    CloseHandle(holder);
    EXPECT_EQ(test::ReadBytes(base / "afile"), "x") << "nothing written";
    RemoveTree(test::Buf(programs));
    DeleteFileA(startup.c_str());
    RemoveTree(test::Buf(appData));
}

// A .bak that cannot be replaced (here a folder of its name) is named in a
// box of its own, and neither launcher's file changes. One conversion at a
// time: a copy killed while it showed a box blocks no later start; a second
// copy started while the first shows a box, or its dialog minimized, shows
// nothing, writes nothing, ends at once and brings that window, restored,
// to the front as soon as the first copy's thread takes the activation.
TEST_F(Converter, BlockedBackupsAreNamedAndASecondCopyLeavesTheConversionToTheFirst) {
    SetRegistry(Installed(kLM, old));
    EXPECT_EQ(e2e::RunConverter(base.Path(), {}).exitCode, 998u) << "killed at its first box";
    SHCreateDirectoryExA(nullptr, inst.c_str(), nullptr);
    for (const std::string name : {"vaxu.ini", "vaxu_cmd.txt"}) {
        test::WriteBytes(inst + name, "[Old]\r\n");
        test::MakeFolder(inst + name + ".bak");
    }
    int secondCopies = 0;
    const e2e::Answer path = {IDOK, old + "path.txt"};
    Run({{kFound, IDOK}, {kSettingsBackupBlocked, IDOK}, {Dialog(), path}, {kCommandBackupBlocked, IDOK},
         {Dialog(), path}, {kCompleted, IDOK}},
        [&](HWND window, const e2e::Shown& s) {
            const std::string files = test::ReadBytes(inst + "vaxu.ini") + test::ReadBytes(inst + "vaxu_cmd.txt");
            EXPECT_TRUE(s.text == kCompleted || files == "[Old]\r\n[Old]\r\n") << "nothing saved yet";
            if (s.text == kSettingsBackupBlocked) RemoveDirectoryA((inst + "vaxu.ini.bak").c_str());
            if (s.text == kCommandBackupBlocked) RemoveDirectoryA((inst + "vaxu_cmd.txt.bak").c_str());
            if (s.text != kFound && !(s.isDialog && secondCopies == 1)) return;
            HWND other = CreateWindowA("STATIC", "other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
            SetForegroundWindow(other);
            if (s.isDialog) ShowWindow(window, SW_MINIMIZE);
            ASSERT_TRUE(WaitFor(10000, [&] { return GetForegroundWindow() == other && IsIconic(window) == s.isDialog; }));
            const DWORD start = GetTickCount();
            const e2e::Outcome second = e2e::RunConverter(base.Path(), {});  // any window it showed would end it as 998
            EXPECT_LT(GetTickCount() - start, 20000u);
            EXPECT_TRUE(second.exitCode == 0 && second.shown.empty());
            EXPECT_TRUE(WaitFor(10000, [&] { return !IsIconic(window) && GetForegroundWindow() == window; })) << s.title;
            DestroyWindow(other);
            ++secondCopies;
        });
    EXPECT_EQ(secondCopies, 2);
    EXPECT_EQ(test::ReadBytes(inst + "vaxu_cmd.txt"), kConverted);
    EXPECT_EQ(test::ReadBytes(inst + "vaxu_cmd.txt.bak"), "[Old]\r\n");
}

// Values written only where a 64-bit installer would put them are not the
// launcher's: both builds read the 32-bit view, as the 32-bit launcher does.
TEST_F(Converter, ValuesOnlyInThe64BitViewAreNotTheLaunchers) {
    // The launcher's own view cleared first: Wine's reg applies the removal
    // of a key in a 64-bit import to the 32-bit view.
    SetRegistry("");
    SetRegistry(Installed(), "64");
    Run({{kNotInstalled, IDOK}});
    std::system("C:\\windows\\syswow64\\reg.exe delete HKLM\\SOFTWARE\\VAXU /f /reg:64");
}

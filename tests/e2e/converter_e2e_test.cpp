// The converter end to end: the real program, the real registry, folders
// and windows, under Wine. Every message is checked byte for byte.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstdio>
#include <functional>
#include <string>

#include "e2e/converter_driver.h"
#include "platform/win_support.h"
#include "test_support.h"

using e2e::Answer;
using e2e::Outcome;
using e2e::Shown;

namespace {
const char kTitle[] = "ヴァクスファイルコンバーター";
const char kNotInstalled[] =
    "ヴァクスVersion0.70以降がインストールされていません.\nヴァクスVersion0.70以降をインストールしてから実行してください.";
const char kNoFolder[] = "ヴァクスファイルの保存先フォルダパスが取得できませんでした.";
const char kRunning[] = "ヴァクスが起動しています.\nヴァクスを終了してファイル変換処理を続けますか？";
const char kFound[] = "ヴァクスVersion0.53以前の設定ファイルが見つかりました.\n変換を開始します.";
const char kCompleted[] = "変換が完了しました.";
const char kNotSettings[] =
    "指定されたファイルは,ヴァクス設定ファイルではないようです.\nヴァクス設定ファイルを指定してください.";
const char kNotSaved[] =
    "変換した設定を保存先フォルダに保存できませんでした.\n保存先フォルダに書き込めるか確認してください.";

const char kLegacy[] =
    "// old launcher settings\r\n"
    "#HotKey 3 90\r\n"
    "#Window 400 300\r\n"
    "Mail C:\\mail.exe [Comment:メール]\r\n"
    "メモ帳 C:\\Windows\\notepad.exe [CD:C:\\Users] [Comment:テキスト]\r\n";

std::string SpecialFolder(int csidl) {
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, csidl, nullptr, 0, path);
    return std::string(path) + "\\";
}

class Converter : public ::testing::Test {
protected:
    void SetUp() override {
        ClearKeys();
        inst = base / "inst\\";
        old = base / "old\\";
        wintest::MakeDir(old);
        wintest::MakeFile(old + "path.txt", kLegacy);
    }
    void TearDown() override {
        ClearKeys();
        ApplyRegistry();
    }

    // The launcher's installer is a 32-bit program: its values land in the
    // 32-bit view of HKLM. So the world is set up as it does, by a separate
    // 32-bit process (regedit from SysWOW64), never from inside this test.
    // The changes are gathered into one .reg file and applied before a run.
    static std::string& Pending() {
        static std::string reg;
        return reg;
    }
    static std::string KeyName(HKEY root) {
        return root == HKEY_LOCAL_MACHINE ? "HKEY_LOCAL_MACHINE\\SOFTWARE\\VAXU" : "HKEY_CURRENT_USER\\Software\\VAXU";
    }
    static void ClearKeys() { Pending() += "[-" + KeyName(HKEY_LOCAL_MACHINE) + "]\r\n[-" + KeyName(HKEY_CURRENT_USER) + "]\r\n"; }
    static void Key(HKEY root) { Pending() += "[" + KeyName(root) + "]\r\n"; }
    static void SetString(HKEY root, const char* name, const std::string& value) {
        std::string escaped;
        for (char c : value) escaped += (c == '\\' || c == '"') ? std::string("\\") + c : std::string(1, c);
        Key(root);
        Pending() += std::string("\"") + name + "\"=\"" + escaped + "\"\r\n";
    }
    static void SetDword(HKEY root, const char* name, DWORD value) {
        char line[64];
        std::snprintf(line, sizeof line, "\"%s\"=dword:%08lx\r\n", name, static_cast<unsigned long>(value));
        Key(root);
        Pending() += line;
    }
    // Runs the 32-bit regedit on what is pending.
    void ApplyRegistry() {
        if (Pending().empty()) return;
        const std::string file = base / "setup.reg";
        wintest::MakeFile(file, "REGEDIT4\r\n\r\n" + Pending());
        Pending().clear();
        RunProgram("C:\\windows\\syswow64\\regedit.exe /s \"" + file + "\"");
    }
    static void RunProgram(std::string command) {
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
        WaitForSingleObject(pi.hProcess, 60000);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    // Number of values in the key as a 32-bit program sees it, -1 when missing.
    static int ValueCount(HKEY root) {
        HKEY h;
        if (RegOpenKeyExA(root, "SoftWare\\VAXU\\", 0, KEY_READ | KEY_WOW64_32KEY, &h) != ERROR_SUCCESS) return -1;
        DWORD values = 0;
        RegQueryInfoKeyA(h, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                         nullptr);
        RegCloseKey(h);
        return static_cast<int>(values);
    }
    // A standard installation: version 0.70, install folder, old folder,
    // all under root (HKCU keeps "Folder" in any case).
    void Install(HKEY root = HKEY_LOCAL_MACHINE, bool withFolder = true) {
        SetString(root, "Version", "0.70");
        SetString(root, "InstFolder", inst);
        if (withFolder) SetString(HKEY_CURRENT_USER, "Folder", old);
    }
    Outcome Run(std::vector<Answer> answers) {
        ApplyRegistry();
        return e2e::RunConverter(base.Path(), std::move(answers));
    }

    static void ExpectBox(const Shown& s, const char* text, std::vector<int> buttons) {
        EXPECT_FALSE(s.isDialog);
        EXPECT_EQ(s.text, text);
        EXPECT_EQ(s.title, kTitle);
        EXPECT_EQ(s.buttons, buttons) << text;
        EXPECT_TRUE(s.topmost) << "system modal: " << text;
        EXPECT_TRUE(s.warningIcon) << text;
        EXPECT_EQ(s.owner, nullptr) << "owned by the desktop: " << text;
    }
    static void ExpectClean(const Outcome& o) {
        EXPECT_EQ(o.exitCode, 0u);
        EXPECT_FALSE(o.timedOut);
        EXPECT_FALSE(o.unexpectedWindow);
    }
    void ExpectConverted(const std::string& folder) {
        test::Ini ini = test::ParseIni(test::ReadBytes(folder + "vaxu.ini"));
        EXPECT_EQ(test::KeysOf(ini, "HotKey"), (std::vector<std::string>{"ALT=1", "Shift=0", "Ctrl=1", "Key=90"}));
        EXPECT_EQ(test::ReadBytes(folder + "vaxu_cmd.txt"),
                  "[Mail]\r\nPATH=C:\\mail.exe \r\nCOMMENT=メール\r\n"
                  "[メモ帳]\r\nPATH=C:\\Windows\\notepad.exe  \r\nFOLDER=C:\\Users\r\nCOMMENT=テキスト\r\n");
    }

    wintest::Folder base;
    std::string inst, old;
};
}  // namespace

TEST_F(Converter, NotInstalledUnlessTheVersionReadsAtLeast07) {
    struct Case {
        const char* name;
        std::function<void()> setup;
    } cases[] = {
        {"no key", [] {}},
        {"no value", [] { Key(HKEY_LOCAL_MACHINE); }},
        {"0.69", [] { SetString(HKEY_LOCAL_MACHINE, "Version", "0.69"); }},
        {"abc", [] { SetString(HKEY_LOCAL_MACHINE, "Version", "abc"); }},
        {"empty", [] { SetString(HKEY_CURRENT_USER, "Version", ""); }},
        {"HKLM key without Version, HKCU with",
         [] {
             Key(HKEY_LOCAL_MACHINE);
             SetString(HKEY_CURRENT_USER, "Version", "0.70");
         }},
    };
    for (const Case& c : cases) {
        ClearKeys();
        c.setup();
        Outcome o = Run({Answer::Button(IDOK)});
        ExpectClean(o);
        ASSERT_EQ(o.shown.size(), 1u) << c.name;
        ExpectBox(o.shown[0], kNotInstalled, {IDOK});
        if (std::string(c.name) == "no key") {
            EXPECT_EQ(ValueCount(HKEY_CURRENT_USER), 0) << "created, empty";
        }
    }
}

TEST_F(Converter, VersionPrefixPassesAndAMissingFolderEnds) {
    for (const char* version : {"0.7beta", "1.0"}) {
        ClearKeys();
        SetString(HKEY_LOCAL_MACHINE, "Version", version);
        SetString(HKEY_CURRENT_USER, "InstFolder", inst);  // not consulted: HKLM opened
        for (int answer : {IDYES, IDNO}) {
            Outcome o = Run({Answer::Button(answer)});
            ExpectClean(o);
            ASSERT_EQ(o.shown.size(), 1u) << version;
            ExpectBox(o.shown[0], kNoFolder, {IDYES, IDNO});
        }
    }
    EXPECT_FALSE(wintest::IsDir(inst));
}

TEST_F(Converter, DetectedFileIsAnnouncedAndConverted) {
    Install();
    inst = base / "deep\\inst\\";  // created with its parent
    SetString(HKEY_LOCAL_MACHINE, "InstFolder", inst);
    Outcome o = Run({Answer::Button(IDOK), Answer::Button(IDOK)});
    ExpectClean(o);
    ASSERT_EQ(o.shown.size(), 2u);
    ExpectBox(o.shown[0], kFound, {IDOK});
    ExpectBox(o.shown[1], kCompleted, {IDOK});
    ExpectConverted(inst);
    // The converter only reads the launcher's key.
    EXPECT_EQ(ValueCount(HKEY_LOCAL_MACHINE), 2);
    EXPECT_EQ(ValueCount(HKEY_CURRENT_USER), 1);
}

TEST_F(Converter, RunningLauncherIsClosedOnlyWithConsent) {
    Install();
    e2e::FakeLauncher launcher;
    Outcome declined = Run({Answer::Button(IDNO)});
    ExpectClean(declined);
    ASSERT_EQ(declined.shown.size(), 1u);
    ExpectBox(declined.shown[0], kRunning, {IDYES, IDNO});
    EXPECT_EQ(launcher.DestroyMessages(), 0);
    EXPECT_FALSE(wintest::IsFile(inst + "vaxu.ini"));

    Outcome agreed = Run({Answer::Button(IDYES), Answer::Button(IDOK), Answer::Button(IDOK)});
    ExpectClean(agreed);
    ASSERT_EQ(agreed.shown.size(), 3u);
    EXPECT_EQ(launcher.DestroyMessages(), 1);
    ExpectBox(agreed.shown[1], kFound, {IDOK});
    ExpectBox(agreed.shown[2], kCompleted, {IDOK});
    ExpectConverted(inst);
}

TEST_F(Converter, AHungLauncherDoesNotHoldUpTheConversion) {
    Install();
    e2e::FakeLauncher launcher(true);
    const DWORD start = GetTickCount();
    Outcome o = Run({Answer::Button(IDYES), Answer::Button(IDOK), Answer::Button(IDOK)});
    ExpectClean(o);
    ASSERT_EQ(o.shown.size(), 3u);
    ExpectBox(o.shown[0], kRunning, {IDYES, IDNO});
    ExpectBox(o.shown[2], kCompleted, {IDOK});
    EXPECT_LT(GetTickCount() - start, 30000u) << "a few seconds' wait at most, not the launcher's";
    ExpectConverted(inst);
}

TEST_F(Converter, AFailedDetectedFileIsOfferedOnceThenTheDialogAsks) {
    Install();
    wintest::MakeFile(old + "path.txt", "no hot key here\r\n");
    wintest::MakeFile(base / "設定ソ.txt", kLegacy);
    // Pasted as Explorer's "Copy as path" gives it: in double quotes.
    Outcome o = Run({Answer::Button(IDOK), Answer::Button(IDOK), Answer::Type("\"" + base / "設定ソ.txt" + "\""),
                     Answer::Button(IDOK)});
    ExpectClean(o);
    ASSERT_EQ(o.shown.size(), 4u);
    ExpectBox(o.shown[0], kFound, {IDOK});
    ExpectBox(o.shown[1], kNotSettings, {IDOK});
    EXPECT_TRUE(o.shown[2].isDialog);
    EXPECT_EQ(o.shown[2].text, "") << "the dialog opens with an empty path";
    EXPECT_EQ(o.shown[2].title, "ヴァクスファイルのコンバート");
    ExpectBox(o.shown[3], kCompleted, {IDOK});
    ExpectConverted(inst);
}

TEST_F(Converter, CancellingTheDialogAtOnceEndsSilently) {
    Install(HKEY_LOCAL_MACHINE, false);
    Outcome o = Run({Answer::Cancel()});
    ExpectClean(o);
    ASSERT_EQ(o.shown.size(), 1u);
    EXPECT_TRUE(o.shown[0].isDialog);
    EXPECT_FALSE(wintest::IsFile(inst + "vaxu.ini"));
}

TEST_F(Converter, FolderIsJoinedWithoutASeparatorAndTheCurrentDirectoryIsSearched) {
    Install(HKEY_LOCAL_MACHINE, false);
    // "Folder" without its backslash names <old>path.txt.
    SetString(HKEY_CURRENT_USER, "Folder", base / "old");
    wintest::MakeFile(base / "oldpath.txt", kLegacy);
    Outcome joined = Run({Answer::Button(IDOK), Answer::Button(IDOK)});
    ExpectClean(joined);
    ASSERT_EQ(joined.shown.size(), 2u);
    ExpectBox(joined.shown[0], kFound, {IDOK});

    // No "Folder": path.txt in the current directory.
    Pending() += "[-" + KeyName(HKEY_CURRENT_USER) + "]\r\n";
    DeleteFileA((inst + "vaxu.ini").c_str());
    wintest::MakeFile(base / "path.txt", kLegacy);
    Outcome here = Run({Answer::Button(IDOK), Answer::Button(IDOK)});
    ExpectClean(here);
    ASSERT_EQ(here.shown.size(), 2u);
    ExpectBox(here.shown[0], kFound, {IDOK});
    ExpectBox(here.shown[1], kCompleted, {IDOK});
    ExpectConverted(inst);
}

TEST_F(Converter, AllUsersInstallsTidyTheOldPerUserShortcuts) {
    const std::string programs = SpecialFolder(CSIDL_PROGRAMS) + "ヴァクス\\";
    const std::string startup = SpecialFolder(CSIDL_STARTUP) + "ヴァクス.lnk";
    const std::string appData = SpecialFolder(CSIDL_APPDATA) + "vaxu\\";
    struct Case {
        const char* name;
        std::function<void()> flags;
        bool removes;
        std::string folder;
    } cases[] = {
        {"all users", [] { SetDword(HKEY_LOCAL_MACHINE, "AllUsers", 1), SetDword(HKEY_LOCAL_MACHINE, "MultiUser", 0); },
         true, inst},
        {"multi-user", [] { SetDword(HKEY_LOCAL_MACHINE, "AllUsers", 1); }, true, appData},
        {"per user", [] { SetDword(HKEY_LOCAL_MACHINE, "MultiUser", 1); }, false, inst},
        {"HKCU only", [] { SetDword(HKEY_CURRENT_USER, "AllUsers", 1); }, false, inst},
    };
    for (const Case& c : cases) {
        ClearKeys();
        wintest::RemoveAll(appData);
        wintest::RemoveAll(inst);
        Install(std::string(c.name) == "HKCU only" ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE);
        c.flags();
        wintest::MakeDir(programs);
        wintest::MakeFile(programs + "ヴァクス.lnk");
        wintest::MakeFile(startup);
        Outcome o = Run({Answer::Button(IDOK), Answer::Button(IDOK)});
        ExpectClean(o);
        ASSERT_EQ(o.shown.size(), 2u) << c.name;
        ExpectBox(o.shown[1], kCompleted, {IDOK});
        ExpectConverted(c.folder);
        EXPECT_EQ(wintest::IsDir(programs), !c.removes) << c.name;
        EXPECT_EQ(wintest::IsFile(startup), !c.removes) << c.name;
    }
    wintest::RemoveAll(programs);
    DeleteFileA(startup.c_str());
    wintest::RemoveAll(appData);
}

TEST_F(Converter, NewFilesThatCannotBeWrittenAreReportedNotCompleted) {
    Install();
    wintest::MakeFile(base / "afile");
    SetString(HKEY_LOCAL_MACHINE, "InstFolder", base / "afile\\sub\\");
    Outcome o = Run({Answer::Button(IDOK), Answer::Button(IDOK), Answer::Cancel()});
    ExpectClean(o);
    ASSERT_EQ(o.shown.size(), 3u);
    ExpectBox(o.shown[0], kFound, {IDOK});
    ExpectBox(o.shown[1], kNotSaved, {IDOK});
    EXPECT_TRUE(o.shown[2].isDialog);
}

// Values written only where a 64-bit installer would put them are not the
// launcher's: both builds read the 32-bit view, as the 32-bit launcher does.
TEST_F(Converter, ValuesOnlyInThe64BitViewAreNotTheLaunchers) {
    const std::string reg = "C:\\windows\\syswow64\\reg.exe ", key = "HKLM\\SOFTWARE\\VAXU ";
    RunProgram(reg + "add " + key + "/v Version /d 0.70 /f /reg:64");
    RunProgram(reg + "add " + key + "/v InstFolder /d \"" + inst + "\\\" /f /reg:64");
    Outcome o = Run({Answer::Button(IDOK)});
    ExpectClean(o);
    ASSERT_EQ(o.shown.size(), 1u);
    ExpectBox(o.shown[0], kNotInstalled, {IDOK});
    RunProgram(reg + "delete " + key + "/f /reg:64");
}

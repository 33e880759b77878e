// The converter end to end: the real program, the real registry, folders
// and windows, under Wine. Every text it shows is checked here, once, byte
// for byte against literals.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <functional>
#include <string>

#include "e2e/converter_driver.h"
#include "platform/win_support.h"
#include "test_support.h"

using e2e::Answer;
using e2e::Outcome;

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
const char kDialog[] = "<the source file dialog>";

const char kLegacy[] =
    "// old launcher settings\r\n"
    "#HotKey 3 90\r\n"
    "#Window 400 300\r\n"
    "Mail C:\\mail.exe [Comment:メール]\r\n"
    "メモ帳 C:\\Windows\\notepad.exe [CD:C:\\Users] [Comment:テキスト]\r\n";
const char kConverted[] =
    "[Mail]\r\nPATH=C:\\mail.exe \r\nCOMMENT=メール\r\n"
    "[メモ帳]\r\nPATH=C:\\Windows\\notepad.exe  \r\nFOLDER=C:\\Users\r\nCOMMENT=テキスト\r\n";

std::string SpecialFolder(int csidl) {
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, csidl, nullptr, 0, path);
    return std::string(path) + "\\";
}

void RunProgram(std::string command) {
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    WaitForSingleObject(pi.hProcess, 60000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

class Converter : public ::testing::Test {
protected:
    void SetUp() override {
        ClearKeys();
        test::MakeFolder(old);
        test::WriteBytes(old + "path.txt", kLegacy);
    }
    void TearDown() override {
        ClearKeys();
        ApplyRegistry();
    }

    // The launcher's installer is a 32-bit program: its values land in the
    // 32-bit view of HKLM. So the registry is set up as it does, by a
    // separate 32-bit process (regedit from SysWOW64), never from inside
    // this test. Changes gather in one .reg file, applied before each run.
    static std::string KeyName(HKEY root) {
        return root == HKEY_LOCAL_MACHINE ? "HKEY_LOCAL_MACHINE\\SOFTWARE\\VAXU" : "HKEY_CURRENT_USER\\Software\\VAXU";
    }
    void ClearKey(HKEY root) { pending += "[-" + KeyName(root) + "]\r\n"; }
    void ClearKeys() { ClearKey(HKEY_LOCAL_MACHINE), ClearKey(HKEY_CURRENT_USER); }
    // A value in .reg form: Set(root, "Version", Str("0.70")), or data "dword:00000001".
    void Set(HKEY root, const char* name, const std::string& data) {
        pending += "[" + KeyName(root) + "]\r\n" + (name ? std::string("\"") + name + "\"=" + data + "\r\n" : "");
    }
    static std::string Str(const std::string& value) {
        std::string quoted = "\"";
        for (char c : value) quoted += (c == '\\' || c == '"') ? std::string("\\") + c : std::string(1, c);
        return quoted + "\"";
    }
    void ApplyRegistry() {
        if (pending.empty()) return;
        test::WriteBytes(base / "setup.reg", "REGEDIT4\r\n\r\n" + pending);
        pending.clear();
        RunProgram("C:\\windows\\syswow64\\regedit.exe /s \"" + base / "setup.reg" + "\"");
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
    // A standard installation under root; "Folder" is always the user's.
    void Install(HKEY root = HKEY_LOCAL_MACHINE, bool withFolder = true) {
        Set(root, "Version", Str("0.70"));
        Set(root, "InstFolder", Str(inst));
        if (withFolder) Set(HKEY_CURRENT_USER, "Folder", Str(old));
    }

    // Runs the converter and checks every window it showed, in order: each
    // box by text, title, buttons, system-modal warning style and owner.
    Outcome Run(std::vector<Answer> answers, std::vector<const char*> expected) {
        ApplyRegistry();
        Outcome o = e2e::RunConverter(base.Path(), std::move(answers));
        EXPECT_EQ(o.exitCode, 0u);
        EXPECT_FALSE(o.timedOut);
        EXPECT_FALSE(o.unexpectedWindow);
        EXPECT_EQ(o.shown.size(), expected.size());
        for (size_t i = 0; i < o.shown.size() && i < expected.size(); ++i) {
            const e2e::Shown& s = o.shown[i];
            if (expected[i] == kDialog) {
                EXPECT_TRUE(s.isDialog) << i;
                EXPECT_EQ(s.title, "ヴァクスファイルのコンバート");
                EXPECT_EQ(s.text, "") << "the dialog opens with an empty path";
                EXPECT_EQ(s.labels, (std::vector<std::string>{"変換(&V)", "ｷｬﾝｾﾙ(&C)", " 変換元ファイル(&R) ",
                                                              "Version0.53以前のヴァクスの設定ファイル ( path.txt ) "
                                                              "を指定してください。",
                                                              "", "参照(&F)"}));
                continue;
            }
            const bool question = expected[i] == kNoFolder || expected[i] == kRunning;
            EXPECT_EQ(s.text, expected[i]) << i;
            EXPECT_EQ(s.title, kTitle);
            const std::vector<int> buttons = question ? std::vector<int>{IDYES, IDNO} : std::vector<int>{IDOK};
            EXPECT_EQ(s.buttons, buttons) << i;
            EXPECT_TRUE(s.topmost && s.warningIcon && !s.owner) << "system modal, warning, desktop-owned: " << i;
        }
        return o;
    }
    void ExpectConverted(const std::string& folder) {
        EXPECT_NE(test::ReadBytes(folder + "vaxu.ini").find("[HotKey]\r\nALT=1\r\nShift=0\r\nCtrl=1\r\nKey=90\r\n"),
                  std::string::npos);
        EXPECT_EQ(test::ReadBytes(folder + "vaxu_cmd.txt"), kConverted);
    }

    std::string pending;
    test::TempDir base;
    std::string inst = base / "inst\\", old = base / "old\\";
};
}  // namespace

TEST_F(Converter, EndsWithAMessageWhenTheLauncherOrItsFolderIsMissing) {
    struct Case {
        const char* name;
        std::function<void()> setup;
        const char* message;
    } cases[] = {
        {"no value", [this] { Set(HKEY_LOCAL_MACHINE, nullptr, ""); }, kNotInstalled},
        {"0.69", [this] { Set(HKEY_LOCAL_MACHINE, "Version", Str("0.69")); }, kNotInstalled},
        {"abc", [this] { Set(HKEY_LOCAL_MACHINE, "Version", Str("abc")); }, kNotInstalled},
        {"empty in HKCU", [this] { Set(HKEY_CURRENT_USER, "Version", Str("")); }, kNotInstalled},
        {"HKLM key without Version",
         [this] { Set(HKEY_LOCAL_MACHINE, nullptr, ""), Set(HKEY_CURRENT_USER, "Version", Str("0.70")); },
         kNotInstalled},
        // HKLM opens, so the HKCU folder is never consulted.
        {"0.7beta without folder",
         [this] { Set(HKEY_LOCAL_MACHINE, "Version", Str("0.7beta")), Set(HKEY_CURRENT_USER, "InstFolder", Str(inst)); },
         kNoFolder},
        {"1.0 without folder", [this] { Set(HKEY_LOCAL_MACHINE, "Version", Str("1.0")); }, kNoFolder},
    };
    Run({Answer::Button(IDOK)}, {kNotInstalled});  // no key at all
    EXPECT_EQ(ValueCount(HKEY_CURRENT_USER), 0) << "the HKCU key is created, empty";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ClearKeys();
        c.setup();
        const bool yes = c.name[0] == '0';  // either answer to the folder question ends the program
        Run({Answer::Button(c.message == kNoFolder ? (yes ? IDYES : IDNO) : IDOK)}, {c.message});
    }
    EXPECT_FALSE(wintest::IsDir(inst));
}

// Values written only where a 64-bit installer would put them are not the
// launcher's: both builds read the 32-bit view, as the 32-bit launcher does.
TEST_F(Converter, ValuesOnlyInThe64BitViewAreNotTheLaunchers) {
    const std::string reg = "C:\\windows\\syswow64\\reg.exe ", key = "HKLM\\SOFTWARE\\VAXU ";
    RunProgram(reg + "add " + key + "/v Version /d 0.70 /f /reg:64");
    RunProgram(reg + "add " + key + "/v InstFolder /d \"" + inst + "\\\" /f /reg:64");
    Run({Answer::Button(IDOK)}, {kNotInstalled});
    RunProgram(reg + "delete " + key + "/f /reg:64");
}

TEST_F(Converter, DetectedFileIsAnnouncedAndConvertedIntoANewFolder) {
    Install();
    inst = base / "deep\\inst\\";  // created with its parent
    Set(HKEY_LOCAL_MACHINE, "InstFolder", Str(inst));
    Run({Answer::Button(IDOK), Answer::Button(IDOK)}, {kFound, kCompleted});
    ExpectConverted(inst);
    EXPECT_EQ(ValueCount(HKEY_LOCAL_MACHINE), 2) << "the launcher's key is only read";
    EXPECT_EQ(ValueCount(HKEY_CURRENT_USER), 1);
}

TEST_F(Converter, RunningLauncherIsClosedOnlyWithConsentAndAHungOneIsNotWaitedFor) {
    Install();
    {
        e2e::FakeLauncher launcher;
        Run({Answer::Button(IDNO)}, {kRunning});
        EXPECT_EQ(launcher.DestroyMessages(), 0);
        EXPECT_FALSE(wintest::IsFile(inst + "vaxu.ini"));
        Run({Answer::Button(IDYES), Answer::Button(IDOK), Answer::Button(IDOK)}, {kRunning, kFound, kCompleted});
        EXPECT_EQ(launcher.DestroyMessages(), 1);
    }
    e2e::FakeLauncher hung(true);  // stops answering: the driver's time limit would end a converter that waits
    Run({Answer::Button(IDYES), Answer::Button(IDOK), Answer::Button(IDOK)}, {kRunning, kFound, kCompleted});
    ExpectConverted(inst);
}

TEST_F(Converter, AFailedDetectedFileIsOfferedOnceThenAQuotedPathIsTaken) {
    Install();
    test::WriteBytes(old + "path.txt", "no hot key here\r\n");
    test::WriteBytes(base / "設定ソ.txt", kLegacy);
    // Pasted as Explorer's "Copy as path" gives it: in double quotes.
    Run({Answer::Button(IDOK), Answer::Button(IDOK), Answer::Type("\"" + base / "設定ソ.txt" + "\""),
         Answer::Button(IDOK)},
        {kFound, kNotSettings, kDialog, kCompleted});
    ExpectConverted(inst);
}

TEST_F(Converter, CancellingTheDialogEndsWithoutWriting) {
    Install(HKEY_LOCAL_MACHINE, false);
    Run({Answer::Cancel()}, {kDialog});
    EXPECT_FALSE(wintest::IsFile(inst + "vaxu.ini"));
}

TEST_F(Converter, FolderIsJoinedWithoutASeparatorAndTheCurrentDirectoryIsSearched) {
    Install(HKEY_LOCAL_MACHINE, false);
    Set(HKEY_CURRENT_USER, "Folder", Str(base / "old"));  // names <base>oldpath.txt
    test::WriteBytes(base / "oldpath.txt", kLegacy);
    Run({Answer::Button(IDOK), Answer::Button(IDOK)}, {kFound, kCompleted});

    ClearKey(HKEY_CURRENT_USER);  // no "Folder": path.txt in the current directory
    DeleteFileA((base / "oldpath.txt").c_str());
    test::WriteBytes(base / "path.txt", kLegacy);
    Run({Answer::Button(IDOK), Answer::Button(IDOK)}, {kFound, kCompleted});
    ExpectConverted(inst);
}

TEST_F(Converter, AllUsersInstallsTidyTheOldPerUserShortcuts) {
    const std::string programs = SpecialFolder(CSIDL_PROGRAMS) + "ヴァクス\\";
    const std::string startup = SpecialFolder(CSIDL_STARTUP) + "ヴァクス.lnk";
    const std::string appData = SpecialFolder(CSIDL_APPDATA) + "vaxu\\";
    struct Case {
        const char* name;
        HKEY root;
        DWORD allUsers, multiUser;  // 2: not written
        bool removes;
        std::string folder;
    } cases[] = {
        {"all users", HKEY_LOCAL_MACHINE, 1, 0, true, inst},
        {"multi-user", HKEY_LOCAL_MACHINE, 1, 2, true, appData},
        {"per user", HKEY_LOCAL_MACHINE, 2, 1, false, inst},
        {"HKCU only", HKEY_CURRENT_USER, 1, 2, false, inst},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ClearKeys();
        wintest::RemoveAll(appData);
        wintest::RemoveAll(inst);
        Install(c.root);
        if (c.allUsers != 2) Set(c.root, "AllUsers", "dword:0000000" + std::to_string(c.allUsers));
        if (c.multiUser != 2) Set(c.root, "MultiUser", "dword:0000000" + std::to_string(c.multiUser));
        test::MakeFolder(programs);
        test::WriteBytes(programs + "ヴァクス.lnk");
        test::WriteBytes(startup);
        Run({Answer::Button(IDOK), Answer::Button(IDOK)}, {kFound, kCompleted});
        ExpectConverted(c.folder);
        EXPECT_EQ(wintest::IsDir(programs), !c.removes);
        EXPECT_EQ(wintest::IsFile(startup), !c.removes);
    }
    wintest::RemoveAll(programs);
    DeleteFileA(startup.c_str());
    wintest::RemoveAll(appData);
}

TEST_F(Converter, NewFilesThatCannotBeWrittenAreReportedNotCompleted) {
    Install();
    test::WriteBytes(base / "afile");
    Set(HKEY_LOCAL_MACHINE, "InstFolder", Str(base / "afile\\sub\\"));
    Run({Answer::Button(IDOK), Answer::Button(IDOK), Answer::Cancel()}, {kFound, kNotSaved, kDialog});
}

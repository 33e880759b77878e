// The converter end to end: the real program, the real registry, folders
// and windows, under Wine. Every text it shows is checked here, once, byte
// for byte against literals.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/resource.h"
#include "e2e/converter_driver.h"
#include "test_support.h"
#include "version.h"

using e2e::Answer;
const Answer kOk = Answer::Button(IDOK);

namespace {
const char kTitle[] = "ヴァクスファイルコンバーター";
const char kNotInstalled[] =
    "ヴァクスVersion0.70以降がインストールされていません.\nヴァクスVersion0.70以降をインストールしてから実行してください.";
const char kNoFolder[] = "ヴァクスファイルの保存先フォルダパスが取得できませんでした.";
const char kRunning[] = "ヴァクスが起動しています.\nヴァクスを終了してファイル変換処理を続けますか？";
const char kStillRunning[] =
    "ヴァクスがまだ終了していません.\nヴァクスを終了してから「はい」を押すと,\nファイル変換処理を続けます.\n"
    "「いいえ」を押すと,変換せずにこのプログラムを終了します.";
const char kFound[] = "ヴァクスVersion0.53以前の設定ファイルが見つかりました.\n変換を開始します.";
const char kCompleted[] = "変換が完了しました.";
const char kNotSettings[] =
    "指定されたファイルは,ヴァクス設定ファイルではないようです.\nヴァクス設定ファイルを指定してください.";
const char kSourceHeld[] =
    "指定されたファイルを開けませんでした.\nほかのプログラムが使用している可能性があります.\n"
    "そのプログラムを終了してから,もう一度指定してください.";
const char kSourceUnreadable[] =
    "指定されたファイルを最後まで読み込めませんでした.\nファイルを確認して,もう一度指定してください.";
const char kNotSaved[] =
    "変換した設定を保存先フォルダに保存できませんでした.\n保存先フォルダに書き込めるか確認してください.";
const char kEmptyWarning[] = "変換元ファイルが入力されていません.";
const char kMissingWarning[] = "入力された変換元ファイルが存在しません.";
// The source dialog, with the text its path edit holds; the file dialog.
const std::string kDialog = "<dialog>", kFileDialog = "<file dialog>";
std::string Dialog(const std::string& edit = "") { return kDialog + edit; }
const std::vector<std::string> kDialogLabels = {
    "変換(&V)", "ｷｬﾝｾﾙ(&C)", " 変換元ファイル(&R) ",
    "Version0.53以前のヴァクスの設定ファイル ( path.txt ) を指定してください。", "参照(&F)"};

const char kLegacy[] =
    "// old launcher settings\r\n#HotKey 3 90\r\n#Window 400 300\r\nMail C:\\mail.exe [Comment:メール]\r\n"
    "メモ帳 C:\\Windows\\notepad.exe [CD:C:\\Users] [Comment:テキスト]\r\n";
const char kConverted[] =
    "[Mail]\r\nPATH=C:\\mail.exe \r\nCOMMENT=メール\r\n"
    "[メモ帳]\r\nPATH=C:\\Windows\\notepad.exe  \r\nFOLDER=C:\\Users\r\nCOMMENT=テキスト\r\n";
const HKEY kLM = HKEY_LOCAL_MACHINE, kCU = HKEY_CURRENT_USER;

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
        return root == kLM ? "HKEY_LOCAL_MACHINE\\SOFTWARE\\VAXU" : "HKEY_CURRENT_USER\\Software\\VAXU";
    }
    void ClearKey(HKEY root) { pending += "[-" + KeyName(root) + "]\r\n"; }
    void ClearKeys() { ClearKey(kLM), ClearKey(kCU); }
    // A value in .reg form: a string, or data such as "dword:00000001".
    // Without a name, only the key.
    void Set(HKEY root, const char* name = nullptr, const std::string& data = "") {
        pending += "[" + KeyName(root) + "]\r\n" + (name ? std::string("\"") + name + "\"=" + data + "\r\n" : "");
    }
    // regedit reads the file as ANSI text: a trail byte 0x5C is no backslash.
    static std::string Str(const std::string& value) {
        std::string quoted = "\"";
        for (size_t i = 0; i < value.size(); ++i) {
            if (IsDBCSLeadByte(static_cast<BYTE>(value[i])) && i + 1 < value.size()) quoted += value[i++];
            else if (value[i] == '\\' || value[i] == '"') quoted += '\\';
            quoted += value[i];
        }
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
    void Install(HKEY root = kLM, bool withFolder = true) {
        Set(root, "Version", Str("0.70"));
        Set(root, "InstFolder", Str(inst));
        if (withFolder) Set(kCU, "Folder", Str(old));
    }

    // A window the converter is expected to show, and the answer it gets.
    struct Step {
        std::string shown;
        Answer answer;
    };
    // Runs the converter and checks every window it showed, in order: the
    // dialogs by their texts; each box by text, title, buttons, style and
    // owner (the program's own are system-modal warnings on the desktop).
    void Run(const std::vector<Step>& steps, e2e::ShownHook onShown = nullptr) {
        ApplyRegistry();
        std::vector<Answer> answers;
        for (const Step& step : steps) answers.push_back(step.answer);
        e2e::Outcome o = e2e::RunConverter(base.Path(), answers, onShown);
        EXPECT_TRUE(o.exitCode == 0 && !o.timedOut && !o.unexpectedWindow) << o.exitCode;
        ASSERT_EQ(o.shown.size(), steps.size());
        for (size_t i = 0; i < steps.size(); ++i) {
            const e2e::Shown& s = o.shown[i];
            const std::string& want = steps[i].shown;
            if (want.rfind(kDialog, 0) == 0) {
                EXPECT_TRUE(s.isDialog && s.labels == kDialogLabels) << i;
                EXPECT_EQ(s.text, want.substr(kDialog.size())) << i;
                EXPECT_EQ(s.title, "ヴァクスファイルのコンバート");
                continue;
            }
            if (want == kFileDialog) {
                EXPECT_TRUE(s.isFileDialog && s.text.find('"') == std::string::npos) << i << ": " << s.text;
                continue;
            }
            const bool dialogs = want == kEmptyWarning || want == kMissingWarning;
            const bool question = want == kNoFolder || want == kRunning || want == kStillRunning;
            const std::vector<int> buttons = question ? std::vector<int>{IDYES, IDNO} : std::vector<int>{IDOK};
            EXPECT_EQ(s.text, want) << i;
            EXPECT_EQ(s.lines, std::count(want.begin(), want.end(), '\n') + 1) << "lines drawn: " << i;
            EXPECT_EQ(s.title, dialogs ? "警告" : kTitle);
            EXPECT_EQ(s.buttons, buttons) << i;
            if (dialogs) {
                EXPECT_TRUE(!s.topmost && !s.warningIcon && i > 0 && s.owner == o.shown[i - 1].window)
                    << "a plain box owned by the dialog: " << i;
            } else {
                EXPECT_TRUE(s.topmost && s.warningIcon && !s.owner) << "system modal, warning, desktop-owned: " << i;
            }
        }
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
    struct Value {
        HKEY root;
        const char* name;
        std::string data;
    };
    const struct {
        std::vector<Value> values;
        const char* message;
        int answer;
    } cases[] = {
        {{{kLM, nullptr, ""}}, kNotInstalled, IDOK},
        {{{kLM, "Version", Str("0.69")}}, kNotInstalled, IDOK},
        {{{kLM, "Version", Str("abc")}}, kNotInstalled, IDOK},
        {{{kCU, "Version", Str("")}}, kNotInstalled, IDOK},
        {{{kLM, nullptr, ""}, {kCU, "Version", Str("0.70")}}, kNotInstalled, IDOK},  // HKLM key without Version
        {{{kLM, "Version", Str(std::string(600, '1'))}}, kNotInstalled, IDOK},  // over 500 bytes: not read
        // HKLM opens, so the HKCU folder is never consulted; either answer ends.
        {{{kLM, "Version", Str("0.7beta")}, {kCU, "InstFolder", Str(inst)}}, kNoFolder, IDYES},
        {{{kLM, "Version", Str("1.0")}}, kNoFolder, IDNO},
    };
    Run({{kNotInstalled, kOk}});  // no key at all
    EXPECT_EQ(ValueCount(kCU), 0) << "the HKCU key is created, empty";
    for (const auto& c : cases) {
        ClearKeys();
        for (const Value& v : c.values) Set(v.root, v.name, v.data);
        Run({{c.message, Answer::Button(c.answer)}});
    }
    EXPECT_FALSE(test::Exists(inst));
}

// Values written only where a 64-bit installer would put them are not the
// launcher's: both builds read the 32-bit view, as the 32-bit launcher does.
TEST_F(Converter, ValuesOnlyInThe64BitViewAreNotTheLaunchers) {
    const std::string reg = "C:\\windows\\syswow64\\reg.exe ", key = "HKLM\\SOFTWARE\\VAXU ";
    RunProgram(reg + "add " + key + "/v Version /d 0.70 /f /reg:64");
    RunProgram(reg + "add " + key + "/v InstFolder /d \"" + inst + "\\\" /f /reg:64");
    Run({{kNotInstalled, kOk}});
    RunProgram(reg + "delete " + key + "/f /reg:64");
}

// "ソ" and "表" end in the byte 0x5C: the folders are still made one by one.
// "Folder" is joined with "path.txt" without a separator; with no "Folder",
// path.txt is read from the current directory after the install folder was
// made sure to exist: that check must not move it.
TEST_F(Converter, DetectedFileIsAnnouncedAndConvertedIntoANewFolder) {
    inst = base / "ソフト\\表\\";
    Install();
    Run({{kFound, kOk}, {kCompleted, kOk}});
    ExpectConverted(inst);
    EXPECT_EQ(ValueCount(kLM), 2) << "the launcher's key is only read";
    EXPECT_EQ(ValueCount(kCU), 1);

    Set(kCU, "Folder", Str(base / "old"));  // names <base>oldpath.txt
    test::WriteBytes(base / "oldpath.txt", "#HotKey 1 65\r\n");
    Run({{kFound, kOk}, {kCompleted, kOk}});
    EXPECT_EQ(test::ReadBytes(inst + "vaxu_cmd.txt"), "<missing>");
    ClearKey(kCU);
    test::WriteBytes(base / "path.txt", kLegacy);
    Run({{kFound, kOk}, {kCompleted, kOk}});
    ExpectConverted(inst);
}

// The launcher saves its own settings as it ends, so the files change only
// once it has ended: a slow one is waited for, and about a hung one the
// question comes again, saying so. Only "yes" closes it.
TEST_F(Converter, RunningLauncherIsClosedWithConsentAndTheFilesChangeOnlyOnceItHasEnded) {
    Install();
    const Answer yes = Answer::Button(IDYES), no = Answer::Button(IDNO);
    {
        e2e::FakeLauncher launcher("ordinary", inst);
        Run({{kRunning, no}});
        Run({{kRunning, Answer::Button(IDOK)}});  // neither button, as a box that cannot be shown
        EXPECT_TRUE(launcher.Running());
        EXPECT_FALSE(test::Exists(inst + "vaxu.ini"));
        Run({{kRunning, yes}, {kFound, kOk}, {kCompleted, kOk}});
        EXPECT_EQ(launcher.DestroyMessages(), 1);
    }
    {
        e2e::FakeLauncher stubborn("stubborn", inst);  // "yes" again sends again
        Run({{kRunning, yes}, {kStillRunning, yes}, {kFound, kOk}, {kCompleted, kOk}});
        EXPECT_EQ(stubborn.DestroyMessages(), 2);
    }
    {
        e2e::FakeLauncher slow("slow", inst);
        Run({{kRunning, yes}, {kFound, kOk}, {kCompleted, kOk}});
        ExpectConverted(inst);
        EXPECT_EQ(test::ReadBytes(inst + "vaxu_cmd.txt.bak"), e2e::kLauncherSave) << "its last save is the backup";
    }
    wintest::RemoveAll(inst);
    e2e::FakeLauncher hung("hung", inst);
    Run({{kRunning, yes}, {kStillRunning, no}});
    EXPECT_TRUE(hung.Running());
    EXPECT_FALSE(test::Exists(inst));
}

// A launcher started while the dialog waits is asked about before anything
// is written: "yes" closes it, and its last save becomes the backup.
TEST_F(Converter, ALauncherStartedDuringTheDialogIsClosedBeforeTheSave) {
    Install(kLM, false);
    std::unique_ptr<e2e::FakeLauncher> launcher;
    const auto startLauncher = [&](HWND, const e2e::Shown& shown) {
        if (shown.isDialog && !launcher) launcher.reset(new e2e::FakeLauncher("slow", inst));
    };
    Run({{Dialog(), Answer::Type(old + "path.txt")},
         {kRunning, Answer::Button(IDYES)},
         {kCompleted, kOk}},
        startLauncher);
    ExpectConverted(inst);
    EXPECT_EQ(test::ReadBytes(inst + "vaxu_cmd.txt.bak"), e2e::kLauncherSave);
    EXPECT_EQ(launcher->DestroyMessages(), 1);
}

// Entries the dialog refuses stay in it; an entry that exists but is no
// settings file brings the dialog back empty. Browsing never shows quotes
// to the file dialog, and a cancelled browse keeps what was typed.
TEST_F(Converter, TheDialogRefusesAndTakesTypedBrowsedAndEnteredPaths) {
    Install(kLM, false);
    const std::string path = old + "path.txt", quoted = "\"" + path + "\"";
    Run({{Dialog(), Answer::Type("")},
         {kEmptyWarning, kOk},
         {Dialog(), Answer::Type("  " + path)},  // blanks alone are not trimmed
         {kMissingWarning, kOk},
         {Dialog("  " + path), Answer::Type(base / "old")},  // a folder, without its separator
         {kNotSettings, kOk},
         {Dialog(), Answer::Type(old + "pa*.txt")},
         {kNotSettings, kOk},
         {Dialog(), Answer::Type(quoted, IDC_BROWSE)},
         {kFileDialog, Answer::Cancel()},
         {Dialog(quoted), Answer::Button(IDC_BROWSE)},
         {kFileDialog, Answer::Type(path)},
         {Dialog(path), Answer::Enter(" " + quoted + "\t")},
         {kCompleted, kOk}});
    ExpectConverted(inst);
}

TEST_F(Converter, AllUsersInstallsTidyTheOldPerUserShortcuts) {
    const int ids[] = {CSIDL_PROGRAMS, CSIDL_STARTUP, CSIDL_APPDATA};
    char folder[3][MAX_PATH] = {};
    for (int i = 0; i < 3; ++i) SHGetFolderPathA(nullptr, ids[i], nullptr, 0, folder[i]);
    const std::string programs = std::string(folder[0]) + "\\ヴァクス\\", appData = std::string(folder[2]) + "\\vaxu\\",
                      startup = std::string(folder[1]) + "\\ヴァクス.lnk";
    const struct {
        HKEY root;
        const char *allUsers, *multiUser;  // null: not written
        bool removes;
        std::string folder;
    } cases[] = {
        {kLM, "dword:00000001", "dword:00000000", true, inst},  // all users
        {kLM, "dword:00000001", nullptr, true, appData},         // multi-user
        {kLM, nullptr, "dword:00000001", false, inst},           // per user
        {kCU, "dword:00000001", nullptr, false, inst},           // HKCU only
    };
    for (const auto& c : cases) {
        ClearKeys();
        wintest::RemoveAll(appData);
        wintest::RemoveAll(inst);
        Install(c.root);
        if (c.allUsers) Set(c.root, "AllUsers", c.allUsers);
        if (c.multiUser) Set(c.root, "MultiUser", c.multiUser);
        test::MakeFolder(programs);
        test::WriteBytes(programs + "ヴァクス.lnk");
        test::WriteBytes(startup);
        Run({{kFound, kOk}, {kCompleted, kOk}});
        ExpectConverted(c.folder);
        EXPECT_EQ(wintest::IsDir(programs), !c.removes) << c.folder;
        EXPECT_EQ(wintest::IsFile(startup), !c.removes) << c.folder;
    }
    wintest::RemoveAll(programs);
    DeleteFileA(startup.c_str());
    wintest::RemoveAll(appData);
}

// A detected file that fails is offered once. Each failure is told and the
// dialog comes back; cancelling it ends the program. A file that another
// program holds without sharing is told as held, not as no settings file. A path pasted as
// Explorer's "Copy as path" gives it, in double quotes, is taken. The
// unreadable source, made by the test script, is a link to a Unix file
// whose reads fail with an I/O error.
TEST_F(Converter, FailuresAreReportedNeverCompleted) {
    Install();
    test::WriteBytes(old + "path.txt", "no hot key here\r\n");
    test::WriteBytes(base / "設定ソ.txt", kLegacy);
    test::WriteBytes(base / "afile");
    Set(kLM, "InstFolder", Str(base / "afile\\sub\\"));
    const char* unreadable = std::getenv("VAXU_UNREADABLE_SOURCE");
    ASSERT_NE(unreadable, nullptr) << "run through ctest";
    const std::string held = base / "held.txt";
    test::WriteBytes(held, kLegacy);
    HANDLE holder = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    Run({{kFound, kOk},
         {kNotSettings, kOk},
         {Dialog(), Answer::Type(held)},  // held by this process, sharing nothing
         {kSourceHeld, kOk},
         {Dialog(), Answer::Type(unreadable)},
         {kSourceUnreadable, kOk},
         {Dialog(), Answer::Type("\"" + base / "設定ソ.txt" + "\"")},
         {kNotSaved, kOk},
         {Dialog(), Answer::Cancel()}});
    CloseHandle(holder);
    EXPECT_EQ(test::ReadBytes(base / "afile"), "x") << "nothing written";
}

// The manifest declares no execution level, so UAC file virtualization
// stays on for the 32-bit program, as for the launcher.
TEST(Program, CarriesItsVersionIconAndManifest) {
    const std::string program = e2e::ConverterPath();
    DWORD ignored = 0, size = GetFileVersionInfoSizeA(program.c_str(), &ignored);
    std::vector<BYTE> info(size);
    ASSERT_TRUE(size && GetFileVersionInfoA(program.c_str(), 0, size, info.data())) << program;
    char* value = nullptr;
    UINT length = 0;
    const char* const strings[][2] = {{"FileDescription", "ヴァクスファイルコンバーター"},
                                      {"ProductName", "ヴァクスファイルコンバーター"},
                                      {"FileVersion", VAXU_VERSION_TEXT}};
    for (const auto& s : strings) {
        std::string query = std::string("\\StringFileInfo\\041103a4\\") + s[0];
        ASSERT_TRUE(VerQueryValueA(info.data(), query.c_str(), reinterpret_cast<void**>(&value), &length)) << s[0];
        EXPECT_STREQ(value, s[1]);
    }
    HMODULE module = LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
    ASSERT_NE(found, nullptr);
    EXPECT_NE(FindResourceA(module, MAKEINTRESOURCEA(IDI_APP_GROUP), RT_GROUP_ICON), nullptr) << "the icon";
    const std::string manifest(static_cast<const char*>(LockResource(LoadResource(module, found))),
                               SizeofResource(module, found));
    FreeLibrary(module);
    EXPECT_NE(manifest.find(">true</dpiAware>"), std::string::npos);
    EXPECT_NE(manifest.find("8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"), std::string::npos) << "Windows 10 and 11";
    EXPECT_EQ(manifest.find("<trustInfo"), std::string::npos);
}

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
#include "platform/win_support.h"
#include "test_support.h"
#include "version.h"

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
const e2e::Answer kOk{IDOK}, kYes{IDYES}, kNo{IDNO}, kCancel{IDCANCEL};

// The launcher's key in .reg form, with a value when named: data such as
// "dword:00000001" as it is, any other as a string. The file is read as
// ANSI text: a trail byte 0x5C is no backslash.
std::string Reg(HKEY root, const char* name = nullptr, const std::string& data = "") {
    std::string text = root == kLM ? "[HKEY_LOCAL_MACHINE\\SOFTWARE\\VAXU]\r\n" : "[HKEY_CURRENT_USER\\Software\\VAXU]\r\n";
    if (!name || data.rfind("dword:", 0) == 0) return name ? text + "\"" + name + "\"=" + data + "\r\n" : text;
    text = text + "\"" + name + "\"=\"";
    for (size_t i = 0; i < data.size(); ++i) {
        if (IsDBCSLeadByte(static_cast<BYTE>(data[i])) && i + 1 < data.size()) text += data[i++];
        else if (data[i] == '\\' || data[i] == '"') text += '\\';
        text += data[i];
    }
    return text + "\"\r\n";
}

// The launcher running in a process of its own (fake_launcher.exe beside
// this program), started in folder with its window open; ended at the
// latest when this goes.
struct FakeLauncher {
    PROCESS_INFORMATION process = {};
    FakeLauncher(const char* mode, const std::string& folder) {
        std::string command = "\"" + e2e::Beside("fake_launcher.exe") + "\" " + mode;
        STARTUPINFOA si = {sizeof si};
        CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &process);
        for (int waited = 0; !FindWindowA("VAXU_APP_WND_CLASS", nullptr) && waited < 20000; waited += 50) Sleep(50);
    }
    ~FakeLauncher() {
        TerminateProcess(process.hProcess, 999);  // fails once it has ended
        WaitForSingleObject(process.hProcess, 10000);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    // The WM_DESTROY messages it got, once it has ended; STILL_ACTIVE while it runs.
    DWORD DestroyMessages() const {
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        return code;
    }
};

// A window the converter is expected to show, and the answer it gets.
struct Step {
    std::string shown;
    e2e::Answer answer;
};

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

    void ClearKeys() { pending += "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\VAXU]\r\n[-HKEY_CURRENT_USER\\Software\\VAXU]\r\n"; }
    // A standard installation under root; "Folder" is always the user's.
    void Install(HKEY root = kLM, bool withFolder = true) {
        pending += Reg(root, "Version", "0.70") + Reg(root, "InstFolder", inst) + (withFolder ? Reg(kCU, "Folder", old) : "");
    }
    // The launcher's installer is a 32-bit program: its values land in the
    // 32-bit view of HKLM. So the registry is set up as it does, by a
    // separate 32-bit process (reg from SysWOW64), never from inside this
    // test. Changes gather in one .reg file, applied before each run.
    void ApplyRegistry(const char* view = "32") {
        if (pending.empty()) return;
        test::WriteBytes(base / "setup.reg", "REGEDIT4\r\n\r\n" + pending);
        pending.clear();
        const std::string reg = "C:\\windows\\syswow64\\reg.exe import \"" + base / "setup.reg\" /reg:" + view;
        ASSERT_EQ(std::system(reg.c_str()), 0);
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
        ApplyRegistry();
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
                EXPECT_TRUE(s.isDialog && s.labels == kDialogLabels) << i;
                EXPECT_EQ(s.text, want.substr(kDialog.size())) << i;
                EXPECT_EQ(s.title, "ヴァクスファイルのコンバート");
            } else {
                const bool owned = want == kEmptyWarning || want == kMissingWarning;
                const bool question = want == kNoFolder || want == kRunning || want == kStillRunning;
                EXPECT_EQ(s.text, want) << i;
                EXPECT_EQ(s.lines, std::count(want.begin(), want.end(), '\n') + 1) << "lines drawn: " << i;
                EXPECT_EQ(s.title, owned ? "警告" : kTitle);
                EXPECT_EQ(s.buttons, question ? std::vector<int>{IDYES, IDNO} : std::vector<int>{IDOK}) << i;
                EXPECT_TRUE(s.topmost != owned && s.warningIcon != owned &&
                            s.owner == (owned && i > 0 ? o.shown[i - 1].window : nullptr))
                    << "style and owner: " << i;
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

// Installed means Version 0.70 or later in the first key that opens: HKLM,
// else HKCU, created when missing; a value over 500 bytes is not read.
// Either answer to the missing folder ends.
TEST_F(Converter, EndsWithAMessageWhenTheLauncherOrItsFolderIsMissing) {
    Run({{kNotInstalled, kOk}});  // no key at all
    EXPECT_EQ(ValueCount(kCU), 0) << "the HKCU key is created, empty";
    const struct {
        std::string reg;
        Step step;
    } cases[] = {
        {Reg(kLM, "Version", "0.69"), {kNotInstalled, kOk}},
        {Reg(kLM) + Reg(kCU, "Version", "0.70"), {kNotInstalled, kOk}},
        {Reg(kLM, "Version", std::string(600, '1')), {kNotInstalled, kOk}},
        {Reg(kLM, "Version", "0.7beta") + Reg(kCU, "InstFolder", inst), {kNoFolder, kYes}},
        {Reg(kLM, "Version", "1.0"), {kNoFolder, kNo}},
    };
    for (const auto& c : cases) {
        ClearKeys();
        pending += c.reg;
        Run({c.step});
    }
    EXPECT_FALSE(test::Exists(inst));
}

// Values written only where a 64-bit installer would put them are not the
// launcher's: both builds read the 32-bit view, as the 32-bit launcher does.
TEST_F(Converter, ValuesOnlyInThe64BitViewAreNotTheLaunchers) {
    ApplyRegistry();
    Install(kLM, false);
    ApplyRegistry("64");
    Run({{kNotInstalled, kOk}});
    std::system("C:\\windows\\syswow64\\reg.exe delete HKLM\\SOFTWARE\\VAXU /f /reg:64");
}

// "ソ" and "表" end in the byte 0x5C: the folders are still made one by one.
// With no "Folder", path.txt is read from the current directory after the
// install folder was made: making it must not move it. "Folder" is joined
// with "path.txt" without a separator.
TEST_F(Converter, DetectedFileIsAnnouncedAndConvertedIntoANewFolder) {
    inst = base / "ソフト\\表\\";
    Install(kLM, false);
    test::WriteBytes(base / "path.txt", kLegacy);
    Run({{kFound, kOk}, {kCompleted, kOk}});
    ExpectConverted(inst);
    EXPECT_EQ(ValueCount(kLM), 2) << "the launcher's key is only read";

    pending += Reg(kCU, "Folder", base / "old");  // names <base>oldpath.txt
    test::WriteBytes(base / "oldpath.txt", "#HotKey 1 65\r\n");
    Run({{kFound, kOk}, {kCompleted, kOk}});
    EXPECT_EQ(test::ReadBytes(inst + "vaxu_cmd.txt"), "<missing>");
}

// The launcher saves its own settings as it ends, so the files change only
// once it has ended: a slow one is waited for, and its last save becomes
// the backup; about a hung one the question comes again, saying so. Only
// "yes" closes it: not "no", nor neither button (a box that cannot be
// shown). One started while the dialog waits is asked about before
// anything is written.
TEST_F(Converter, RunningLauncherIsClosedWithConsentAndTheFilesChangeOnlyOnceItHasEnded) {
    const Step yes = {kRunning, kYes}, found = {kFound, kOk}, done = {kCompleted, kOk};
    const struct {
        const char* mode;
        std::vector<Step> steps;
        DWORD destroyMessages;
    } cases[] = {
        {"ordinary", {{kRunning, kNo}}, STILL_ACTIVE},
        {"ordinary", {{kRunning, kOk}}, STILL_ACTIVE},
        {"ordinary", {yes, found, done}, 1},
        {"stubborn", {yes, {kStillRunning, kYes}, found, done}, 2},  // "yes" again sends again
        {"slow", {yes, found, done}, 1},
        {"hung", {yes, {kStillRunning, kNo}}, STILL_ACTIVE},
        {"slow", {{Dialog(), {IDOK, old + "path.txt"}}, yes, done}, 1},  // started as the dialog shows
    };
    for (const auto& c : cases) {
        wintest::RemoveAll(inst);
        test::MakeFolder(inst);
        ClearKeys();
        Install(kLM, c.steps[0].shown != kDialog);
        std::unique_ptr<FakeLauncher> launcher;
        const auto start = [&](HWND, const e2e::Shown&) {
            if (!launcher) launcher.reset(new FakeLauncher(c.mode, inst));
        };
        if (c.steps[0].shown != kDialog) start(nullptr, {});
        Run(c.steps, start);
        EXPECT_EQ(launcher->DestroyMessages(), c.destroyMessages) << c.mode;
        if (c.steps.back().shown == kCompleted) ExpectConverted(inst);
        else EXPECT_TRUE(wintest::NamesIn(inst).empty()) << "nothing written";
        if (c.mode == std::string("slow")) EXPECT_EQ(test::ReadBytes(inst + "vaxu_cmd.txt.bak"), e2e::kLauncherSave);
    }
}

// Entries the dialog refuses stay in it; an entry that exists but is no
// settings file brings the dialog back empty. Browsing never shows quotes
// to the file dialog, and a cancelled browse keeps what was typed.
TEST_F(Converter, TheDialogRefusesAndTakesTypedBrowsedAndEnteredPaths) {
    Install(kLM, false);
    const std::string path = old + "path.txt", quoted = "\"" + path + "\"";
    Run({{Dialog(), kOk}, {kEmptyWarning, kOk},
         {Dialog(), {IDOK, "  " + path}}, {kMissingWarning, kOk},  // blanks alone are not trimmed
         {Dialog("  " + path), {IDOK, base / "old"}}, {kNotSettings, kOk},  // a folder, without its separator
         {Dialog(), {IDOK, old + "pa*.txt"}}, {kNotSettings, kOk},
         {Dialog(), {IDC_BROWSE, quoted}}, {kFileDialog, kCancel},
         {Dialog(quoted), {IDC_BROWSE}}, {kFileDialog, {IDOK, path}},
         {Dialog(path), {IDOK, " " + quoted + "\t", true}}, {kCompleted, kOk}});
    ExpectConverted(inst);
}

// After an all-users conversion the old version's per-user Start-menu
// folder and start-up shortcut go; "MultiUser", or none, converts into the
// user's own folder.
TEST_F(Converter, AllUsersInstallsTidyTheOldPerUserShortcuts) {
    const auto shell = [](int id, const char* name) {
        char folder[MAX_PATH] = {};
        SHGetFolderPathA(nullptr, id, nullptr, 0, folder);
        return folder + std::string(name);
    };
    const std::string programs = shell(CSIDL_PROGRAMS, "\\ヴァクス\\"), startup = shell(CSIDL_STARTUP, "\\ヴァクス.lnk"),
                      appData = shell(CSIDL_APPDATA, "\\vaxu\\"), one = "dword:00000001";
    const struct {
        HKEY root;
        std::string flags;
        bool removes;
        std::string folder;
    } cases[] = {
        {kLM, Reg(kLM, "AllUsers", one) + Reg(kLM, "MultiUser", "dword:00000000"), true, inst},  // all users
        {kLM, Reg(kLM, "AllUsers", one), true, appData},                                          // multi-user
        {kLM, Reg(kLM, "MultiUser", one), false, inst},                                           // per user
        {kCU, Reg(kCU, "AllUsers", one), false, inst},                                            // HKCU only
    };
    for (const auto& c : cases) {
        wintest::RemoveAll(appData);
        wintest::RemoveAll(inst);
        ClearKeys();
        Install(c.root);
        pending += c.flags;
        test::MakeFolder(programs);
        test::WriteBytes(programs + "ヴァクス.lnk");
        test::WriteBytes(startup);
        Run({{kFound, kOk}, {kCompleted, kOk}});
        ExpectConverted(c.folder);
        EXPECT_TRUE(wintest::IsDir(programs) != c.removes && wintest::IsFile(startup) != c.removes) << c.folder;
    }
    wintest::RemoveAll(programs);
    DeleteFileA(startup.c_str());
    wintest::RemoveAll(appData);
}

// A detected file that fails is offered once. Each failure is told and the
// dialog comes back; cancelling it ends the program. A file that another
// program holds without sharing is told as held, not as no settings file.
// A path pasted as Explorer's "Copy as path" gives it, in double quotes, is
// taken. The unreadable source, made by ctest, is a link to a Unix file
// whose reads fail with an I/O error.
TEST_F(Converter, FailuresAreReportedNeverCompleted) {
    const char* unreadable = std::getenv("VAXU_UNREADABLE_SOURCE");
    ASSERT_NE(unreadable, nullptr) << "run through ctest";
    inst = base / "afile\\sub\\";
    Install();
    test::WriteBytes(base / "afile");
    test::WriteBytes(old + "path.txt", "no hot key here\r\n");
    test::WriteBytes(base / "設定ソ.txt", kLegacy);
    const std::string held = base / "held.txt";
    test::WriteBytes(held, kLegacy);
    HANDLE holder = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    Run({{kFound, kOk}, {kNotSettings, kOk},
         {Dialog(), {IDOK, held}}, {kSourceHeld, kOk},  // held by this process, sharing nothing
         {Dialog(), {IDOK, unreadable}}, {kSourceUnreadable, kOk},
         {Dialog(), {IDOK, "\"" + base / "設定ソ.txt" + "\""}}, {kNotSaved, kOk},
         {Dialog(), kCancel}});
    CloseHandle(holder);
    EXPECT_EQ(test::ReadBytes(base / "afile"), "x") << "nothing written";
}

// The manifest declares no execution level, so UAC file virtualization
// stays on for the 32-bit program, as for the launcher.
TEST(Program, CarriesItsVersionIconAndManifest) {
    const std::string program = e2e::ConverterPath();
    std::vector<char> info(GetFileVersionInfoSizeA(program.c_str(), nullptr));
    ASSERT_TRUE(!info.empty() && GetFileVersionInfoA(program.c_str(), 0, info.size(), info.data())) << program;
    const char* const strings[][2] = {{"FileDescription", kTitle}, {"ProductName", kTitle}, {"FileVersion", VAXU_VERSION_TEXT}};
    for (const auto& s : strings) {
        char* value = nullptr;
        UINT length = 0;
        VerQueryValueA(info.data(), (std::string("\\StringFileInfo\\041103a4\\") + s[0]).c_str(),
                       reinterpret_cast<void**>(&value), &length);
        EXPECT_STREQ(value, s[1]) << s[0];
    }
    HMODULE module = LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    EXPECT_NE(FindResourceA(module, MAKEINTRESOURCEA(IDI_APP_GROUP), RT_GROUP_ICON), nullptr) << "the icon";
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), RT_MANIFEST);
    ASSERT_NE(found, nullptr);
    const std::string manifest(static_cast<const char*>(LockResource(LoadResource(module, found))),
                               SizeofResource(module, found));
    FreeLibrary(module);
    EXPECT_NE(manifest.find(">true</dpiAware>"), std::string::npos);
    EXPECT_NE(manifest.find("8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"), std::string::npos) << "Windows 10 and 11";
    EXPECT_EQ(manifest.find("<trustInfo"), std::string::npos);
}

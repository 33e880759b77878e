#include "app/source_dialog.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string>

#include "app/dialog_driver.h"
#include "app/resource.h"
#include "convert/convert_job.h"
#include "platform/win_support.h"
#include "test_support.h"

using wintest::DialogDriver;

namespace {
const char kEmptyWarning[] = "変換元ファイルが入力されていません.";
const char kMissingWarning[] = "入力された変換元ファイルが存在しません.";

// Makes a shell shortcut at lnk that points to target.
bool MakeShortcut(const std::string& lnk, const std::string& target) {
    CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, lnk.c_str(), -1, wide, MAX_PATH);
    bool ok = SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                         reinterpret_cast<void**>(&link))) &&
              SUCCEEDED(link->SetPath(target.c_str())) &&
              SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
              SUCCEEDED(file->Save(wide, TRUE));
    if (file) file->Release();
    if (link) link->Release();
    CoUninitialize();
    return ok;
}

class SourceDialog : public ::testing::Test {
protected:
    void SetUp() override {
        job.Init();
        ASSERT_TRUE(test::WriteBytes(folder / "path.txt", "#HotKey 1 65\r\n"));
    }
    void TearDown() override { job.Teardown(); }

    // Runs the dialog with the given steps; returns its end code.
    INT_PTR Run() { return driver.Run(SourceDialogProc); }
    // Types text into the path edit and presses the convert button.
    static void TypeAndConvert(HWND d, const std::string& text) {
        DialogDriver::SetEditText(d, text);
        DialogDriver::Press(d, IDOK);
    }

    ConvertJob job;
    DialogDriver driver;
    test::TempDir folder;
};
}  // namespace

TEST_F(SourceDialog, OpensOnConvertShowingTheSourceAndWarnsOnRefusedEntries) {
    job.sourcePath.Assign("C:\\given\\path.txt");
    driver.Then([](HWND d) {
        EXPECT_EQ(DialogDriver::EditText(d), "C:\\given\\path.txt");
        EXPECT_EQ(GetFocus(), GetDlgItem(d, IDOK));
        EXPECT_EQ(GetForegroundWindow(), d);
    });
    const std::string missing = folder / "missing.txt";
    driver.Then([missing](HWND d) {
        TypeAndConvert(d, "");
        TypeAndConvert(d, missing);
        EXPECT_EQ(DialogDriver::EditText(d), missing);
        DialogDriver::Press(d, IDCANCEL);
    });
    EXPECT_EQ(Run(), IDCANCEL);
    ASSERT_EQ(driver.boxes.size(), 2u);
    EXPECT_EQ(driver.boxes[0].text + driver.boxes[1].text, std::string(kEmptyWarning) + kMissingWarning);
    EXPECT_TRUE(driver.boxes[0].title == "警告" && driver.boxes[1].title == "警告");
    EXPECT_TRUE(driver.boxes[0].owner == job.dialogWindow && driver.boxes[1].owner == job.dialogWindow);
    EXPECT_EQ(job.sourcePath.Text(), folder / "missing.txt") << "cancel keeps what the refused press read";
}

// Typed, then convert (or Enter in the edit), on a fresh dialog each.
TEST_F(SourceDialog, AcceptsAnExistingEntryAsTypedOrQuotedAndEndsOnEscOrClose) {
    const std::string path = folder / "path.txt", noSlash = folder.Path().substr(0, folder.Path().size() - 1);
    struct Case {
        std::string typed, source;
        INT_PTR end;
    } cases[] = {
        {path, path, IDOK},
        {noSlash, noSlash, IDOK},
        {folder / "pa*.txt", folder / "pa*.txt", IDOK},
        // Explorer's "Copy as path" adds quotes (end to end with a Japanese
        // name); blanks alone are not trimmed.
        {" \"" + path + "\"\t", path, IDOK},
        {"  " + path, "  " + path, IDCANCEL},
        {"<Enter>", path, IDOK},
        {"<Esc>", "", IDCANCEL},
        {"<Close>", "", IDCANCEL},
    };
    for (const Case& c : cases) {
        job.sourcePath.Release();
        DialogDriver run;
        run.Then([&c, path](HWND d) {
            HWND edit = GetDlgItem(d, IDC_SOURCE_PATH);
            if (c.typed == "<Enter>") {
                DialogDriver::SetEditText(d, path);
                SetFocus(edit);
                PostMessageA(edit, WM_KEYDOWN, VK_RETURN, 0);
            } else if (c.typed == "<Esc>") {
                PostMessageA(edit, WM_KEYDOWN, VK_ESCAPE, 0);
            } else if (c.typed == "<Close>") {
                PostMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0);
            } else {
                TypeAndConvert(d, c.typed);
            }
        });
        run.Then([](HWND d) { DialogDriver::Press(d, IDCANCEL); });
        EXPECT_EQ(run.Run(SourceDialogProc), c.end) << c.typed;
        EXPECT_EQ(run.boxes.size(), c.source.empty() || c.end == IDOK ? 0u : 1u) << c.typed;
        EXPECT_EQ(job.sourcePath.Text(), c.source);
    }
}

TEST_F(SourceDialog, DropsPutTheFirstPathInTheEditAndNothingElse) {
    const std::string lnk = folder / "old settings.lnk", upper = folder / "UPPER.LNK", broken = folder / "broken.lnk",
                      stale = folder / "stale.lnk", path = folder / "path.txt";
    test::MakeFolder(folder / "sub");
    test::WriteBytes(broken, "not a shell link");
    test::WriteBytes(folder / "gone.txt");
    ASSERT_TRUE(MakeShortcut(lnk, path) && MakeShortcut(upper, path) && MakeShortcut(stale, folder / "gone.txt"));
    DeleteFileA((folder / "gone.txt").c_str());

    std::string tooLong = folder.Path();  // over 259 UTF-16 units, under 500 bytes: not loaded
    tooLong += std::string(300 - tooLong.size(), 'x') + ".lnk";
    struct Case {
        std::vector<std::string> dropped;
        std::string edit;
    } cases[] = {
        {{tooLong}, tooLong},
        {{path}, path},
        {{folder / "sub"}, folder / "sub"},
        {{folder / "sub", path}, folder / "sub"},
        {{lnk}, path},
        {{upper}, upper},
        {{broken}, broken},
    };
    for (const Case& c : cases) {
        driver.Then([c](HWND d) {
            DialogDriver::Drop(d, c.dropped);
            EXPECT_EQ(DialogDriver::EditText(d), c.edit) << c.dropped[0];
        });
    }
    // A shortcut whose target is gone: Windows fails to resolve it and keeps
    // the shortcut's own path; Wine's resolver does not look and hands back
    // the stored target. Either way the edit holds a path the user can see.
    driver.Then([stale, this](HWND d) {
        DialogDriver::Drop(d, {stale});
        std::string edit = DialogDriver::EditText(d);
        EXPECT_TRUE(edit == stale || edit == folder / "gone.txt") << edit;
    });
    driver.Then([](HWND d) { DialogDriver::Press(d, IDCANCEL); });
    job.sourcePath.Assign("unchanged");
    EXPECT_EQ(Run(), IDCANCEL);
    EXPECT_TRUE(driver.boxes.empty());
    EXPECT_STREQ(job.sourcePath.Text(), "unchanged");
}

TEST_F(SourceDialog, BrowsingFillsTheEditOnlyWhenAFileIsPicked) {
    std::string picked = folder / "path.txt";
    driver.Then([](HWND d) {
        DialogDriver::SetEditText(d, "typed");
        DialogDriver::Press(d, IDC_BROWSE);  // the file dialog is cancelled
        EXPECT_EQ(DialogDriver::EditText(d), "typed");
    });
    driver.Then([this, picked](HWND d) {
        DialogDriver::SetEditText(d, "\"" + picked + "\"");  // quotes never reach the file dialog
        driver.AnswerFileDialog([picked](HWND fileDialog) {
            char initial[512] = {};
            if (!GetDlgItemTextA(fileDialog, 0x47C, initial, sizeof initial))
                GetDlgItemTextA(fileDialog, 0x480, initial, sizeof initial);
            EXPECT_EQ(std::string(initial).find('"'), std::string::npos) << initial;
            // The file name box of the Explorer-style dialog (cmb13), or edt1.
            if (!SetDlgItemTextA(fileDialog, 0x47C, picked.c_str())) SetDlgItemTextA(fileDialog, 0x480, picked.c_str());
            PostMessageA(fileDialog, WM_COMMAND, IDOK, 0);
        });
        DialogDriver::Press(d, IDC_BROWSE);
        EXPECT_EQ(DialogDriver::EditText(d), picked);
    });
    driver.Then([](HWND d) { DialogDriver::Press(d, IDCANCEL); });
    EXPECT_EQ(Run(), IDCANCEL);
    EXPECT_FALSE(job.sourcePath.HasStorage());
}

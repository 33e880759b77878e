// The source dialog in this process, opened modeless so that each message
// is sent and answered in turn: how it opens and what drops put in its
// edit. Typing, browsing and the warnings are checked end to end.
#include "app/source_dialog.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstring>
#include <string>

#include "app/resource.h"
#include "convert/convert_job.h"
#include "platform/win_support.h"
#include "test_support.h"

namespace {
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

// Sends WM_DROPFILES with an ANSI drop list of the given paths.
void Drop(HWND dialog, const std::vector<std::string>& paths) {
    size_t chars = 1;
    for (const std::string& p : paths) chars += p.size() + 1;
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + chars);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    char* names = reinterpret_cast<char*>(drop + 1);
    for (const std::string& p : paths) names = std::strcpy(names, p.c_str()) + p.size() + 1;
    GlobalUnlock(memory);
    SendMessageA(dialog, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}

class SourceDialog : public ::testing::Test {
protected:
    void SetUp() override { job.Init(); }
    void TearDown() override {
        DestroyWindow(dialog);
        job.Teardown();
    }
    void Open() {
        dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SOURCE_DIALOG), nullptr,
                                    SourceDialogProc, 0);
        ASSERT_NE(dialog, nullptr);
    }
    std::string Edit() const { return wintest::WindowText(GetDlgItem(dialog, IDC_SOURCE_PATH)); }

    ConvertJob job;
    HWND dialog = nullptr;
    test::TempDir folder;
};
}  // namespace

TEST_F(SourceDialog, DropsPutTheFirstPathInTheEditAndNothingElse) {
    const std::string lnk = folder / "old settings.lnk", upper = folder / "UPPER.LNK", broken = folder / "broken.lnk",
                      path = folder / "path.txt";
    test::WriteBytes(path);
    test::MakeFolder(folder / "sub");
    test::WriteBytes(broken, "not a shell link");
    ASSERT_TRUE(MakeShortcut(lnk, path) && MakeShortcut(upper, path));
    std::string tooLong = folder.Path();  // over 259 UTF-16 units, under 500 bytes: not loaded
    tooLong += std::string(300 - tooLong.size(), 'x') + ".lnk";
    struct Case { std::vector<std::string> dropped; std::string edit; } cases[] = {
        {{tooLong}, tooLong},
        {{folder / "sub", path}, folder / "sub"},  // a folder, and only the first of several
        {{lnk}, path},
        {{upper}, upper},
        {{broken}, broken},
    };
    job.sourcePath.Assign("unchanged");
    Open();
    EXPECT_TRUE(GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_ACCEPTFILES) << "the messages below are sent, not dropped";
    for (const Case& c : cases) {
        Drop(dialog, c.dropped);
        EXPECT_EQ(Edit(), c.edit) << c.dropped[0];
    }
    EXPECT_STREQ(job.sourcePath.Text(), "unchanged") << "a drop only fills the edit";
}

// Opened as the flow opens it: in front, the convert button focused, the
// controls in tab order, the prompt on one line in the font the system chose.
TEST_F(SourceDialog, OpensInFrontWithItsControlsInOrderAndAPromptThatFits) {
    Open();
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDOK));
    EXPECT_EQ(GetForegroundWindow(), dialog);
    std::vector<HWND> controls;
    std::vector<int> ids;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        controls.push_back(c);
        ids.push_back(GetDlgCtrlID(c));
    }
    ASSERT_EQ(ids, (std::vector<int>{IDOK, IDCANCEL, IDC_STATIC, IDC_STATIC, IDC_SOURCE_PATH, IDC_BROWSE}));
    const std::string prompt = wintest::WindowText(controls[3]);
    HDC dc = GetDC(controls[3]);
    SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0)));
    SIZE extent = {};
    GetTextExtentPoint32A(dc, prompt.c_str(), static_cast<int>(prompt.size()), &extent);
    ReleaseDC(controls[3], dc);
    RECT box = {};
    GetClientRect(controls[3], &box);
    EXPECT_LE(extent.cx, box.right) << prompt;
}

#include "app/source_dialog.h"

#include <commdlg.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstring>

#include "app/messages.h"
#include "app/resource.h"
#include "convert/convert_job.h"
#include "platform/files.h"
#include "text/memory.h"
#include "text/unquote.h"

namespace {
constexpr int kTextLimit = 500;

HWND DialogOf(const ConvertJob& job) { return static_cast<HWND>(job.dialogWindow); }

// The dialog's own boxes: owned by it, plain (no icon), OK only.
void Warn(HWND owner, const char* text) { messages::Show(owner, text, messages::kWarningTitle, MB_OK); }

// The name ends in ".lnk", compared byte by byte in lower case only.
bool IsShortcutName(const char* name) {
    size_t n = std::strlen(name);
    return n >= 4 && std::memcmp(name + n - 4, ".lnk", 4) == 0;
}

// Replaces name with the shortcut's target path. Any failure leaves name
// as it was; a name too long for the wide buffer is not loaded at all.
void ResolveShortcut(HWND owner, StrBuf& name) {
    WCHAR wide[MAX_PATH] = {};
    CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        MultiByteToWideChar(CP_ACP, 0, name.Text(), -1, wide, MAX_PATH) > 0 &&
        SUCCEEDED(file->Load(wide, STGM_READ)) && SUCCEEDED(link->Resolve(owner, SLR_ANY_MATCH))) {
        WIN32_FIND_DATAA found = {};
        name.Wipe();
        link->GetPath(name.Data(), kTextLimit, &found, 0);
    }
    if (file) file->Release();
    if (link) link->Release();
    CoUninitialize();
    MemWipe(wide, sizeof wide);
}
}  // namespace

bool ConvertJob::InitSourceDialog(void* window) {
    dialogWindow = window;
    if (!sourcePath.IsEmpty()) SetDlgItemTextA(DialogOf(*this), IDC_SOURCE_PATH, sourcePath.Text());
    SetForegroundWindow(DialogOf(*this));
    return true;
}

bool ConvertJob::AcceptSource() {
    HWND dialog = DialogOf(*this);
    // Without storage the text is not read and counts as not entered.
    if (sourcePath.Reserve(kTextLimit)) {
        GetDlgItemTextA(dialog, IDC_SOURCE_PATH, sourcePath.Data(), kTextLimit);
        UnquotePath(sourcePath.Data());
    }
    if (sourcePath.IsEmpty()) {
        Warn(dialog, messages::kNoSourceEntered);
    } else if (!FileExists(sourcePath.Text())) {
        Warn(dialog, messages::kSourceMissing);
    } else {
        EndDialog(dialog, IDOK);
    }
    return true;
}

bool ConvertJob::BrowseSource() {
    HWND dialog = DialogOf(*this);
    char file[512] = {};
    GetDlgItemTextA(dialog, IDC_SOURCE_PATH, file, sizeof file);
    UnquotePath(file);
    OPENFILENAMEA ofn;
    std::memset(&ofn, 0, sizeof ofn);
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    ofn.hwndOwner = dialog;
    ofn.lpstrFilter = messages::kAllFilesFilter;
    ofn.lpstrFile = file;
    ofn.nMaxFile = kTextLimit;
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    if (GetOpenFileNameA(&ofn)) SetDlgItemTextA(dialog, IDC_SOURCE_PATH, file);
    MemWipe(file, sizeof file);
    return true;
}

bool ConvertJob::TakeDroppedSource(void* drop) {
    HDROP handle = static_cast<HDROP>(drop);
    StrBuf name;
    if (!name.Reserve(kTextLimit)) {
        DragFinish(handle);  // the drop is let go even when nothing can be read
        return true;
    }
    const UINT fullLength = DragQueryFileA(handle, 0, nullptr, 0);
    DragQueryFileA(handle, 0, name.Data(), kTextLimit);
    DragFinish(handle);
    // A name cut to fit is no name to load a shortcut from.
    if (fullLength < kTextLimit && IsShortcutName(name.Text())) ResolveShortcut(DialogOf(*this), name);
    SetDlgItemTextA(DialogOf(*this), IDC_SOURCE_PATH, name.Text());
    name.Release();
    return true;
}

INT_PTR CALLBACK SourceDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    ConvertJob* job = LiveJob();
    if (!job) return FALSE;  // only ever opened while a job is live
    switch (message) {
        case WM_INITDIALOG:
            return job->InitSourceDialog(window);
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK:
                    return job->AcceptSource();
                case IDCANCEL:
                    EndDialog(DialogOf(*job), IDCANCEL);
                    return TRUE;
                case IDC_BROWSE:
                    return job->BrowseSource();
                default:
                    return FALSE;
            }
        case WM_DROPFILES:
            return job->TakeDroppedSource(reinterpret_cast<void*>(wParam));
        default:
            return FALSE;
    }
}

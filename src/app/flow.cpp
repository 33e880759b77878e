#include "app/flow.h"

#include <shlobj.h>

#include <cstdlib>

#include "app/messages.h"
#include "app/resource.h"
#include "app/source_dialog.h"
#include "convert/convert_job.h"
#include "platform/directories.h"
#include "platform/files.h"
#include "platform/registry.h"

namespace {
constexpr char kSubKey[] = "SoftWare\\VAXU\\";
constexpr char kLauncherClass[] = "VAXU_APP_WND_CLASS";
constexpr UINT kLauncherCloseTimeoutMs = 3000;
constexpr DWORD kLauncherExitWaitMs = 10000;
constexpr DWORD kWindowPollMs = 100;

// Every box of the flow: system modal, warning icon, owned by the desktop.
int Show(const char* text, UINT buttons) {
    return messages::Show(GetDesktopWindow(), text, messages::kTitle, MB_SYSTEMMODAL | MB_ICONWARNING | buttons);
}

bool OpenForReading(RegKey& key, HKEY root) { return key.Open(root, kSubKey, false, false); }

bool OpenOrCreateUserKey(RegKey& key) {
    return OpenForReading(key, HKEY_CURRENT_USER) || key.Open(HKEY_CURRENT_USER, kSubKey, true, true);
}

// Reads a 4-byte value into flag; a missing value leaves it as it was.
void ReadFlag(RegKey& key, const char* name, DWORD& flag) {
    DWORD type = REG_DWORD;
    DWORD size = sizeof flag;
    RegQueryValueExA(key.Handle(), name, nullptr, &type, reinterpret_cast<BYTE*>(&flag), &size);
}

// "Version" from the first key that opens: HKLM, else HKCU (opened or created).
double ReadVersion(RegKey& key, StrBuf& versionText) {
    double version = 0.0;
    if (OpenForReading(key, HKEY_LOCAL_MACHINE) || OpenOrCreateUserKey(key)) {
        if (key.ReadStringValue("Version", versionText)) version = std::atof(versionText.Text());
    }
    key.Close();
    return version;
}

// The install folder. An all-users installation sets allUsers; with
// "MultiUser" (or when it cannot be read) the folder is the user's own.
void ReadInstallFolder(RegKey& key, StrBuf& installFolder, bool& allUsers) {
    if (OpenForReading(key, HKEY_LOCAL_MACHINE)) {
        key.ReadStringValue("InstFolder", installFolder);
        DWORD flag = 0;
        ReadFlag(key, "AllUsers", flag);
        if (flag != 0) {
            allUsers = true;
            ReadFlag(key, "MultiUser", flag);
        }
        if (flag != 0) {
            installFolder.Wipe();
            if (GetSpecialFolder(installFolder, CSIDL_APPDATA) && !installFolder.Append("vaxu\\")) installFolder.Wipe();
        }
    } else if (OpenOrCreateUserKey(key)) {
        key.ReadStringValue("InstFolder", installFolder);
    }
    key.Close();
}

// "Folder" plus "path.txt", kept only when such an entry exists.
void FindLegacyCandidate(RegKey& key, StrBuf& candidate) {
    if (OpenOrCreateUserKey(key)) {
        key.ReadStringValue("Folder", candidate);
        if (!candidate.Append("path.txt") || !FileExists(candidate.Text())) candidate.Wipe();
    }
    key.Close();
}

// Waits for the launcher to end: for its process where it could be
// opened, else until its window is gone. True when it ended in time.
bool LauncherEnded(HWND launcher, HANDLE process) {
    if (process) return WaitForSingleObject(process, kLauncherExitWaitMs) == WAIT_OBJECT_0;
    for (DWORD waited = 0; IsWindow(launcher); waited += kWindowPollMs) {
        if (waited >= kLauncherExitWaitMs) return false;
        Sleep(kWindowPollMs);
    }
    return true;
}

// Asks the launcher to close and waits until it has ended, since it saves
// its own settings as it exits and would write over the new files. While
// it runs on, the question comes again in other words. Only "yes" goes on:
// a box that cannot be shown closes nothing. False when the launcher is
// left running.
bool CloseRunningLauncher() {
    HWND launcher = FindWindowA(kLauncherClass, nullptr);
    if (!launcher) return true;
    DWORD processId = 0;
    GetWindowThreadProcessId(launcher, &processId);
    HANDLE process = processId ? OpenProcess(SYNCHRONIZE, FALSE, processId) : nullptr;
    bool ended = false;
    for (const char* question = messages::kLauncherRunning; !ended; question = messages::kLauncherStillRunning) {
        if (Show(question, MB_YESNO) != IDYES) break;
        // A launcher that no longer answers must not hang the converter.
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(launcher, WM_DESTROY, 0, 0, SMTO_ABORTIFHUNG, kLauncherCloseTimeoutMs, &ignored);
        ended = LauncherEnded(launcher, process);
    }
    if (process) CloseHandle(process);
    if (ended) Sleep(500);
    return ended;
}

// After an all-users conversion the per-user Start-menu folder and
// start-up shortcut of the old version are left over.
void RemoveOldUserShortcuts() {
    StrBuf shellPath;
    if (GetSpecialFolder(shellPath, CSIDL_PROGRAMS) && shellPath.Append("ヴァクス\\")) RemoveTree(shellPath);
    if (GetSpecialFolder(shellPath, CSIDL_STARTUP) && shellPath.Append("ヴァクス.lnk")) DeleteFileA(shellPath.Text());
    shellPath.Release();
}

const char* FailureMessage(ConvertResult result) {
    switch (result) {
    case ConvertResult::NotSaved:
        return messages::kNotSaved;
    case ConvertResult::SourceUnreadable:
        return messages::kSourceUnreadable;
    default:
        return messages::kNotSettingsFile;
    }
}

void ConversionLoop(HINSTANCE instance, StrBuf& legacyCandidate, const StrBuf& installFolder, bool allUsers) {
    ConvertJob job;
    job.Init();
    while (job.SelectSource(instance, legacyCandidate, installFolder)) {
        MakeDirPath(installFolder);
        ConvertResult result = job.RunConversion();
        if (result == ConvertResult::Converted) {
            if (allUsers) RemoveOldUserShortcuts();
            Show(messages::kCompleted, MB_OK);
            break;
        }
        Show(FailureMessage(result), MB_OK);
        legacyCandidate.Wipe();  // a detected file is offered once
    }
    job.Teardown();
}
}  // namespace

bool ConvertJob::SelectSource(void* instance, const StrBuf& candidate, const StrBuf& installFolderPath) {
    sourcePath.Assign(candidate);
    installFolder.Assign(installFolderPath);
    if (installFolder.IsEmpty()) return false;
    if (!sourcePath.IsEmpty()) {
        Show(messages::kFound, MB_OK);
        return true;
    }
    // A dialog that cannot be shown (-1) ends the loop like a cancel.
    return DialogBoxParamA(static_cast<HINSTANCE>(instance), MAKEINTRESOURCEA(IDD_SOURCE_DIALOG), GetDesktopWindow(),
                           SourceDialogProc, 0) == IDOK;
}

int RunConverter(HINSTANCE instance) {
    StrBuf legacyCandidate, installFolder, versionText;
    legacyCandidate.Reserve(500);
    installFolder.Reserve(500);
    versionText.Reserve(100);
    RegKey key;
    bool allUsers = false;

    if (!(ReadVersion(key, versionText) >= 0.7)) {  // NaN fails too
        Show(messages::kNotInstalled, MB_OK);
        return 0;
    }
    ReadInstallFolder(key, installFolder, allUsers);
    if (installFolder.IsEmpty()) {
        Show(messages::kNoFolder, MB_YESNO);
        return 0;
    }
    FindLegacyCandidate(key, legacyCandidate);
    if (!CloseRunningLauncher()) return 0;
    ConversionLoop(instance, legacyCandidate, installFolder, allUsers);
    return 0;
}

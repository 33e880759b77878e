#include "app/flow.h"

#include <shlobj.h>

#include <cstdlib>

#include "app/launcher.h"
#include "app/messages.h"
#include "app/resource.h"
#include "app/source_dialog.h"
#include "convert/convert_job.h"
#include "platform/directories.h"
#include "platform/files.h"
#include "platform/registry.h"

namespace {
constexpr char kSubKey[] = "SoftWare\\VAXU\\";

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
    case ConvertResult::SourceHeld:
        return messages::kSourceHeld;
    case ConvertResult::SourceUnreadable:
        return messages::kSourceUnreadable;
    case ConvertResult::SettingsBackupBlocked:
        return messages::kSettingsBackupBlocked;
    case ConvertResult::CommandBackupBlocked:
        return messages::kCommandBackupBlocked;
    default:
        return messages::kNotSettingsFile;
    }
}

// Each attempt saves only once no launcher runs: one started while the
// dialog was open is asked about, as at start-up. A launcher left running
// ends the program with nothing written, and so does a save that could not
// put every file back, so that the backups the box names stay as they are.
void ConversionLoop(HINSTANCE instance, StrBuf& legacyCandidate, const StrBuf& installFolder, bool allUsers) {
    ConvertJob job;
    job.Init();
    job.beforeSave = CloseRunningLauncher;
    while (job.SelectSource(instance, legacyCandidate, installFolder)) {
        MakeDirPath(installFolder);
        const ConvertResult result = job.RunConversion();
        if (result == ConvertResult::Converted) {
            if (allUsers) RemoveOldUserShortcuts();
            messages::ShowWarning(messages::kCompleted, MB_OK);
            break;
        }
        if (result == ConvertResult::LauncherLeftRunning) break;
        if (result == ConvertResult::NotRestored) {
            StrBuf text;
            const bool composed = NotRestoredText(job.restoreSettings, job.restoreCommands, text);
            messages::ShowWarning(composed ? text.Text() : messages::kNotRestored, MB_OK);
            break;
        }
        messages::ShowWarning(FailureMessage(result), MB_OK);
        legacyCandidate.Wipe();  // a detected file is offered once
    }
    job.Teardown();
}
}  // namespace

bool NotRestoredText(Restore settings, Restore commands, StrBuf& text) {
    const struct {
        Restore restore;
        const char *fromBackup, *remove;
    } files[] = {
        {settings, messages::kRestoreSettings, messages::kRemoveSettings},
        {commands, messages::kRestoreCommands, messages::kRemoveCommands},
    };
    bool composed = text.Assign(messages::kNotRestored);
    for (const auto& f : files) {
        if (f.restore == Restore::Nothing) continue;
        composed = composed && text.Append("\n") && text.Append(f.restore == Restore::Remove ? f.remove : f.fromBackup);
    }
    return composed;
}

bool ConvertJob::SelectSource(void* instance, const StrBuf& candidate, const StrBuf& installFolderPath) {
    sourcePath.Assign(candidate);
    installFolder.Assign(installFolderPath);
    if (installFolder.IsEmpty()) return false;
    if (!sourcePath.IsEmpty()) {
        messages::ShowWarning(messages::kFound, MB_OK);
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
        messages::ShowWarning(messages::kNotInstalled, MB_OK);
        return 0;
    }
    ReadInstallFolder(key, installFolder, allUsers);
    if (installFolder.IsEmpty()) {
        messages::ShowWarning(messages::kNoFolder, MB_YESNO);
        return 0;
    }
    FindLegacyCandidate(key, legacyCandidate);
    if (!CloseRunningLauncher()) return 0;
    ConversionLoop(instance, legacyCandidate, installFolder, allUsers);
    return 0;
}

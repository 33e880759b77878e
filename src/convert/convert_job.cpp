#include "convert/convert_job.h"

#include "convert/command_file.h"
#include "convert/file_steps.h"
#include "convert/step_fault.h"
#include "platform/files.h"

using file_steps::FileBytes;
using file_steps::Step;
using file_steps::Swap;

// One save of the new files: what it touches and what it must be able to
// put back.
struct SaveState {
    SavePaths paths;
    CommandFileText text;
    FileBytes oldIni;
    bool hadIni = false, hadCommands = false, hasCommands = false;
    // The old vaxu.ini copied beside it before a copy over it; it stays
    // only where it is the one place left with those bytes.
    StrBuf iniKept;
    bool iniKeptNeeded = false;
};

namespace {
ConvertJob* g_liveJob = nullptr;

// The source, whose reads a test can make fail.
class SourceFile : public FileObj {
public:
    int Read(void* buffer, int count) override {
        return step_fault::ReadFails() ? -1 : FileObj::Read(buffer, count);
    }
};

bool WriteCommandTemp(const SaveState& s) {
    return !s.hasCommands || file_steps::WriteNewFile(s.paths.cmdTemp.Text(), s.text.Data(), s.text.Size());
}

bool ReadSettingsFile(SaveState& s) { return !s.hadIni || s.oldIni.Load(s.paths.ini.Text()); }

// The command file this run replaces becomes vaxu_cmd.txt.bak. A different
// backup already there, from an earlier run, is first kept under the next
// free numbered name, so that a second run never loses the first one's.
bool BackUpCommandFile(const SaveState& s) {
    const char* cmd = s.paths.cmd.Text();
    const char* backup = s.paths.backup.Text();
    if (!s.hadCommands) return true;
    if (FileExists(backup)) {
        FileBytes current, previous;
        if (!current.Load(cmd) || !previous.Load(backup)) return false;
        if (previous.Equals(current)) return true;
        StrBuf numbered;
        if (!file_steps::CopyToFreeName(backup, s.paths.backup, 1, numbered)) return false;
    }
    if (file_steps::CopyOver(cmd, backup) == FileStatus::Done) return true;
    DeleteFileAt(backup);  // cut short; a backup that was there before is kept under its number
    return false;
}

// The backup holds the old command file, so a copy over it is safe.
Swap SwapCommandFile(const SaveState& s) {
    if (s.hasCommands) return file_steps::SwapIn(s.paths.cmdTemp.Text(), s.paths.cmd.Text(), [] { return true; });
    if (!s.hadCommands || file_steps::Delete(s.paths.cmd.Text()) == FileStatus::Done) return Swap::Done;
    return Swap::Unchanged;
}

Swap SwapSettingsFile(SaveState& s) {
    return file_steps::SwapIn(s.paths.iniTemp.Text(), s.paths.ini.Text(), [&] {
        if (!s.hadIni) return true;
        s.iniKeptNeeded = file_steps::CopyToFreeName(s.paths.ini.Text(), s.paths.iniBackup, 0, s.iniKept);
        return s.iniKeptNeeded;
    });
}

// After a copy over vaxu.ini failed: its old bytes back, or no file where
// there was none. A copy that never got to write (the file held) needs no
// putting back. If that fails too, the kept copy stays.
void PutBackSettingsFile(SaveState& s) {
    if (!s.hadIni) {
        file_steps::Delete(s.paths.ini.Text());
        return;
    }
    FileBytes now;
    if ((now.Load(s.paths.ini.Text()) && now.Equals(s.oldIni)) ||
        file_steps::CopyOver(s.iniKept.Text(), s.paths.ini.Text()) == FileStatus::Done)
        s.iniKeptNeeded = false;
}

// The command file back from its backup, or no file where there was none.
// If that fails, the backup still holds it.
void PutBackCommandFile(const SaveState& s) {
    if (s.hadCommands) {
        file_steps::CopyOver(s.paths.backup.Text(), s.paths.cmd.Text());
    } else {
        file_steps::Delete(s.paths.cmd.Text());
    }
}
}  // namespace

ConvertJob* LiveJob() { return g_liveJob; }

void ConvertJob::Init() {
    dialogWindow = nullptr;
    sourcePath.Release();
    installFolder.Release();
    commands.Release();
    settings_.Reset();
    g_liveJob = this;
}

void ConvertJob::Teardown() {
    dialogWindow = nullptr;
    if (g_liveJob == this) g_liveJob = nullptr;
    commands.Release();
    installFolder.Release();
    sourcePath.Release();
    settings_.currentDir.Release();
}

bool ConvertJob::WriteSettingsFile(const char* iniPath) {
    const LegacySettings& s = settings_;
    struct Key {
        const char* section;
        const char* name;
        int value;
        bool flag;  // written as "1" or "0"
    } keys[] = {
        {"HotKey", "ALT", s.hotKeyModifiers & 1, true},  {"HotKey", "Shift", s.hotKeyModifiers & 4, true},
        {"HotKey", "Ctrl", s.hotKeyModifiers & 2, true}, {"HotKey", "Key", s.hotKeyCode, false},
        {"VAXU", "History", s.historyMax, false},         {"VAXU", "ToolTip", s.toolTip, false},
        {"VAXU", "ImeCtrl", s.imeCtrl, false},           {"VAXU", "WndWidth", s.windowWidth, false},
        {"VAXU", "WndHeight", s.windowHeight, false},    {"VAXU", "SavePosition", s.savePosition, false},
    };
    StrBuf value;
    for (const Key& k : keys) {
        bool ok = k.flag ? value.Assign(k.value ? "1" : "0") : value.Format("%d", k.value);
        if (!ok || !Step() || !WriteProfileText(k.section, k.name, value.Text(), iniPath)) return false;
    }
    return true;
}

bool SavePaths::Build(const StrBuf& installFolder) {
    StrBuf folder;
    if (!folder.Assign(installFolder)) return false;
    // A folder read without its backslash still names the folder itself.
    // The last character is tested, so a trail byte of 0x5C is no separator.
    bool ends = folder.EndsWithChar('\\') || folder.EndsWithChar('/');
    if (!folder.IsEmpty() && !ends && !folder.Append("\\")) return false;
    return ini.Format("%s%s", folder.Text(), "vaxu.ini") && iniTemp.Format("%s%s", folder.Text(), "vaxu.ini.tmp") &&
           iniBackup.Format("%s%s", folder.Text(), "vaxu.ini.bak") &&
           cmd.Format("%s%s", folder.Text(), "vaxu_cmd.txt") &&
           cmdTemp.Format("%s%s", folder.Text(), "vaxu_cmd.txt.tmp") &&
           backup.Format("%s%s", folder.Text(), "vaxu_cmd.txt.bak");
}

// The new settings go into a copy of vaxu.ini, key by key, so that other
// keys survive and the file itself changes in one step or not at all.
bool ConvertJob::PrepareSettingsFile(const SaveState& s) {
    const char* temp = s.paths.iniTemp.Text();
    if (s.hadIni) {
        if (!file_steps::WriteNewFile(temp, s.oldIni.Data(), s.oldIni.Size())) return false;
    } else {
        DeleteFileAt(temp);  // left over from an interrupted run
    }
    const bool ok = WriteSettingsFile(temp);
    ForgetProfile(temp);
    return ok;
}

// Nothing the launcher reads changes until both new files are complete on
// disk and the old command file is backed up. Then each file is swapped in
// whole. A failure undoes, in reverse, what was changed.
bool ConvertJob::SaveNewFiles() {
    SaveState s;
    if (!s.paths.Build(installFolder) || !s.text.Build(commands)) return false;
    s.hadIni = FileExists(s.paths.ini.Text());
    s.hadCommands = FileExists(s.paths.cmd.Text());
    s.hasCommands = s.text.Size() > 0;

    bool ok = WriteCommandTemp(s) && ReadSettingsFile(s) && PrepareSettingsFile(s) && BackUpCommandFile(s);
    if (ok) {
        const Swap commandFile = SwapCommandFile(s);
        const Swap settingsFile = commandFile == Swap::Done ? SwapSettingsFile(s) : Swap::Unchanged;
        ok = settingsFile == Swap::Done;
        if (settingsFile == Swap::Damaged) PutBackSettingsFile(s);
        if (!ok && commandFile != Swap::Unchanged) PutBackCommandFile(s);
    }

    DeleteFileAt(s.paths.cmdTemp.Text());
    DeleteFileAt(s.paths.iniTemp.Text());
    if (!s.iniKept.IsEmpty() && (ok || !s.iniKeptNeeded)) DeleteFileAt(s.iniKept.Text());
    return ok;
}

ConvertResult ConvertJob::RunConversion() {
    commands.Clear();
    settings_.Reset();

    ConvertResult result = ConvertResult::NotSaved;
    SourceFile source;
    if (!source.Open(sourcePath.Text(), false, false)) {
        result = ConvertResult::NotSettingsFile;
    } else {
        const LegacyRead read = ReadLegacySettings(source, settings_, commands);
        if (read == LegacyRead::ReadFailed) {
            result = ConvertResult::SourceUnreadable;  // what was read is incomplete: nothing is written
        } else if (read == LegacyRead::Complete) {
            if (settings_.hotKeyCode == 0 && settings_.hotKeyModifiers == 0) {
                result = ConvertResult::NotSettingsFile;  // the commands read stay until the next run
            } else if (SaveNewFiles()) {
                result = ConvertResult::Converted;
            }
        }
    }
    source.Close();
    if (result != ConvertResult::Converted) sourcePath.Wipe();
    return result;
}

#include "convert/convert_job.h"

#include <initializer_list>

#include "convert/command_file.h"
#include "convert/file_steps.h"
#include "convert/step_fault.h"
#include "platform/files.h"

using file_steps::FileBytes;
using file_steps::Step;
using file_steps::Swap;

// One of the launcher's two files in one save: where its new content is
// made, where its old content is kept, and how far the save got with it.
struct SavedFile {
    const char* name;        // the file's name, also the stem of its temporary files
    const char* backupName;  // the backup's name, also the stem of its numbered copies
    StrBuf path, backup;
    StrBuf temp;      // the new content, in a file this run made
    StrBuf numbered;  // the numbered copy that holds the earlier backup
    StrBuf original, noneMark;  // how the file stood before its first conversion
    StrBuf originalStem;        // the stem of the temporary files that make them
    const char* originalMade = nullptr;  // which of the two this run made
    bool existed = false;
    bool backupMade = false;     // the backup is a file this run made
    bool numberedMade = false;   // so is the numbered copy
    bool backupTouched = false;  // an earlier backup was replaced or removed
    unsigned guarding = 0, backupGuarding = 0;  // read-only, hidden, system: as found
    Swap swap = Swap::Unchanged;
    ConvertResult blocked;  // what a backup that cannot be read or replaced gives

    bool Build(const StrBuf& folder, const char* fileName, const char* backupFileName, ConvertResult blockedResult) {
        name = fileName;
        backupName = backupFileName;
        blocked = blockedResult;
        if (!path.Format("%s%s", folder.Text(), fileName) || !backup.Format("%s%s", folder.Text(), backupName) ||
            !original.Format("%s%s.orig", folder.Text(), fileName) ||
            !noneMark.Format("%s%s.none", folder.Text(), fileName) || !originalStem.Format("%s.orig", fileName))
            return false;
        // A file that cannot be told there or not (no right to look) is
        // never taken for missing: that would replace it unread.
        const FileStatus found = ProbeFile(path.Text());
        existed = found == FileStatus::Done;
        guarding = GuardingAttributes(path.Text());
        return existed || found == FileStatus::Missing;
    }
};

// One save of the new files: what it touches and what it must be able to
// put back.
struct SaveState {
    StrBuf folder;
    SavedFile ini, cmd;
    CommandFileText text;
    FileBytes oldIni;
    bool hasCommands = false;

    bool Build(const StrBuf& installFolder, const CommandList& commands) {
        // A folder read without its backslash still names the folder itself.
        // The last character is tested, so a trail byte of 0x5C is no separator.
        if (!folder.Assign(installFolder)) return false;
        const bool ends = folder.EndsWithChar('\\') || folder.EndsWithChar('/');
        if (!folder.IsEmpty() && !ends && !folder.Append("\\")) return false;
        if (!text.Build(commands)) return false;
        hasCommands = text.Size() > 0;
        return ini.Build(folder, "vaxu.ini", "vaxu.ini.bak", ConvertResult::SettingsBackupBlocked) &&
               cmd.Build(folder, "vaxu_cmd.txt", "vaxu_cmd.txt.bak", ConvertResult::CommandBackupBlocked);
    }
};

namespace {
ConvertJob* g_liveJob = nullptr;

// The source, whose reads a test can make fail; it keeps why a read failed.
class SourceFile : public FileObj {
public:
    int Read(void* buffer, int count) override {
        if (step_fault::ReadFails()) {
            failed = step_fault::ReadFailure();
            return -1;
        }
        const int got = FileObj::Read(buffer, count);
        if (got < 0) failed = LastFileStatus();
        return got;
    }
    FileStatus failed = FileStatus::Refused;
};

bool WriteCommandTemp(SaveState& s) {
    return !s.hasCommands ||
           file_steps::WriteTempFile(s.folder, s.cmd.name, s.text.Data(), s.text.Size(), s.cmd.temp);
}

// What a run that was cut or killed left of its temporary files. A kept
// original whose own temporary file is among them may have been cut short
// (where renames are refused, it is written in place, and its file is not
// changed before it is complete): it is made again. False where it stays.
bool RemoveLeftovers(const SaveState& s) {
    for (const SavedFile* f : {&s.ini, &s.cmd}) {
        const char* stem = f->originalStem.Text();
        if (file_steps::HasLeftovers(s.folder, stem) &&
            !(file_steps::Remove(f->original.Text()) && file_steps::Remove(f->noneMark.Text())))
            return false;
        file_steps::RemoveLeftovers(s.folder, stem);
        // One that stays would make the next run take this run's record
        // for an unfinished one.
        if (file_steps::HasLeftovers(s.folder, stem)) return false;
        file_steps::RemoveLeftovers(s.folder, f->name);
    }
    return true;
}

bool ReadSettingsFile(SaveState& s) { return !s.ini.existed || s.oldIni.Load(s.ini.path.Text()); }

// The file as this save found it becomes its .bak, and where there was no
// such file there is no .bak either: after a save, the .bak always holds
// what was there before it. A different backup already there, from an
// earlier run, is first kept under the next number, so no run loses an
// earlier one; an equal one already is this backup.
// A backup name that cannot be told there or not is never taken as free.
ConvertResult BackUp(SaveState& s, SavedFile& f) {
    const char* backup = f.backup.Text();
    const FileStatus found = ProbeFile(backup);
    if (found != FileStatus::Done && found != FileStatus::Missing) return f.blocked;
    if (found == FileStatus::Missing) {
        if (!f.existed) return ConvertResult::Converted;
        if (file_steps::CopyNew(s.folder, f.name, f.path.Text(), backup) != FileStatus::Done)
            return ConvertResult::NotSaved;
        f.backupMade = true;
        return ConvertResult::Converted;
    }
    FileBytes current, previous;
    if (!previous.Load(backup)) return previous.OutOfMemory() ? ConvertResult::NotSaved : f.blocked;
    if (f.existed && !current.Load(f.path.Text())) return ConvertResult::NotSaved;
    if (f.existed && previous.Equals(current)) return ConvertResult::Converted;
    f.backupGuarding = GuardingAttributes(backup);
    if (!file_steps::CopyToNextNumber(backup, previous, s.folder, f.name, f.backupName, f.numbered, f.numberedMade))
        return ConvertResult::NotSaved;
    if (!f.existed) {
        f.backupTouched = file_steps::Remove(backup);
        return f.backupTouched ? ConvertResult::Converted : f.blocked;
    }
    // Replaced whole, never left half-copied; a backup is for the user to
    // find and copy back, so it is neither read-only nor hidden.
    const Swap put = file_steps::PutInPlace(s.folder, f.name, f.path.Text(), backup, 0);
    f.backupTouched = put == Swap::Done || put == Swap::Damaged;
    if (put == Swap::Done) return ConvertResult::Converted;
    return put == Swap::Held ? f.blocked : ConvertResult::NotSaved;
}

// Before a file's first conversion, how it stood is kept for good: a copy,
// <file>.orig, or, where there was no such file, an empty <file>.none. No
// later run changes either, so however many runs follow, the user can go
// back to before the first. Either made before the file changes, or no
// save: no later run may take the converted file for the original.
ConvertResult KeepOriginal(SaveState& s, SavedFile& f) {
    const FileStatus copy = ProbeFile(f.original.Text()), none = ProbeFile(f.noneMark.Text());
    if (copy == FileStatus::Done || none == FileStatus::Done) return ConvertResult::Converted;
    if (copy != FileStatus::Missing || none != FileStatus::Missing) return ConvertResult::NotSaved;
    const char* kept = f.existed ? f.original.Text() : f.noneMark.Text();
    const char* stem = f.originalStem.Text();
    const FileStatus made = f.existed ? file_steps::CopyNew(s.folder, stem, f.path.Text(), kept)
                                      : file_steps::MakeEmptyNew(s.folder, stem, kept);
    if (made != FileStatus::Done) return ConvertResult::NotSaved;
    f.originalMade = kept;
    return ConvertResult::Converted;
}

ConvertResult KeepOriginalAndBackUp(SaveState& s, SavedFile& f) {
    const ConvertResult kept = KeepOriginal(s, f);
    return kept == ConvertResult::Converted ? BackUp(s, f) : kept;
}

// Without commands there is no new command file: the old one is removed.
Swap SwapCommandFile(SaveState& s) {
    if (s.hasCommands) return file_steps::SwapIn(s.cmd.temp.Text(), s.cmd.path.Text());
    if (!s.cmd.existed || file_steps::Remove(s.cmd.path.Text())) return Swap::Done;
    return Swap::Unchanged;
}

// After a failed save: the file's old bytes back from its backup, with its
// attributes, or no file where there was none. A file is put back as the
// save puts one in, complete and flushed before it takes the name, so the
// backup may then go. True when it is as it was.
bool PutBack(const SaveState& s, const SavedFile& f) {
    if (f.swap == Swap::Unchanged) return true;
    // A copy over the file that a hold stopped may have opened it first
    // (a lock met part-way); its backup, complete by now, tells.
    if (f.swap == Swap::Held && f.existed && file_steps::SameBytes(f.path.Text(), f.backup.Text())) return true;
    if (!f.existed) return f.temp.IsEmpty() || file_steps::Remove(f.path.Text());
    return file_steps::PutInPlace(s.folder, f.name, f.backup.Text(), f.path.Text(), f.guarding) == Swap::Done;
}

// The backup as this save found it: the one it made removed, an earlier
// one back from its numbered copy, which then goes if this run made it.
void UndoBackUp(const SaveState& s, const SavedFile& f) {
    const char* backup = f.backup.Text();
    if (f.backupMade) file_steps::Remove(backup);
    if (f.numbered.IsEmpty()) return;
    if (f.backupTouched &&
        file_steps::PutInPlace(s.folder, f.name, f.numbered.Text(), backup, f.backupGuarding) != Swap::Done)
        return;  // the earlier backup stays in its numbered copy
    if (f.numberedMade) file_steps::Remove(f.numbered.Text());
}

// A rename or a deletion is durable only once a flush has committed it:
// one flush, of any file in the folder that can be written, commits those
// made so far, so that an outcome told is an outcome kept.
void CommitRenames(const SaveState& s) {
    for (const StrBuf* path : {&s.ini.temp, &s.cmd.temp, &s.ini.path, &s.cmd.path, &s.ini.backup, &s.cmd.backup})
        if (FlushFileAt(path->Text()) == FileStatus::Done) return;
}

Restore RestoreNeeded(const SaveState& s, const SavedFile& f) {
    if (PutBack(s, f)) return Restore::Nothing;
    return f.existed ? Restore::FromBackup : Restore::Remove;
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
    step_fault::Trace("written", iniPath);
    return true;
}

// The new settings go into a copy of vaxu.ini, key by key, so that other
// keys survive and the file itself changes in one step or not at all.
bool ConvertJob::PrepareSettingsFile(SaveState& s) {
    if (!file_steps::WriteTempFile(s.folder, s.ini.name, s.oldIni.Data(), s.oldIni.Size(), s.ini.temp))
        return false;
    const char* temp = s.ini.temp.Text();
    const bool written = WriteSettingsFile(temp);
    ForgetProfile(temp);
    return written && file_steps::Flush(temp);
}

// Undoes, in reverse, what a failed save changed. A backup is put back as
// it was unless it holds the old bytes of a file that could not be put
// back, which the user needs.
ConvertResult ConvertJob::Undo(SaveState& s, ConvertResult failure) {
    restoreSettings = RestoreNeeded(s, s.ini);
    restoreCommands = RestoreNeeded(s, s.cmd);
    if (restoreCommands != Restore::FromBackup) UndoBackUp(s, s.cmd);
    if (restoreSettings != Restore::FromBackup) UndoBackUp(s, s.ini);
    const bool restored = restoreSettings == Restore::Nothing && restoreCommands == Restore::Nothing;
    // Last, once its file is as it was: a file still to be put back by hand
    // keeps it, true as it is, so that no later run takes what the user
    // did not put back for the original.
    if (restoreCommands == Restore::Nothing && s.cmd.originalMade) file_steps::Remove(s.cmd.originalMade);
    if (restoreSettings == Restore::Nothing && s.ini.originalMade) file_steps::Remove(s.ini.originalMade);
    CommitRenames(s);
    return restored ? failure : ConvertResult::NotRestored;
}

// Nothing the launcher reads changes until both new files are complete on
// disk and both old files are backed up. Then each file is swapped in
// whole. A failure undoes, in reverse, what was changed.
ConvertResult ConvertJob::SaveNewFiles() {
    restoreSettings = restoreCommands = Restore::Nothing;
    if (beforeSave && !beforeSave()) return ConvertResult::LauncherLeftRunning;
    SaveState s;
    if (!s.Build(installFolder, commands) || !RemoveLeftovers(s)) return ConvertResult::NotSaved;

    ConvertResult result = ConvertResult::NotSaved;
    if (WriteCommandTemp(s) && ReadSettingsFile(s) && PrepareSettingsFile(s)) result = KeepOriginalAndBackUp(s, s.ini);
    if (result == ConvertResult::Converted) result = KeepOriginalAndBackUp(s, s.cmd);
    if (result == ConvertResult::Converted) {
        s.cmd.swap = SwapCommandFile(s);
        if (s.cmd.swap == Swap::Done) s.ini.swap = file_steps::SwapIn(s.ini.temp.Text(), s.ini.path.Text());
        if (s.ini.swap != Swap::Done) result = ConvertResult::NotSaved;
    }
    if (result == ConvertResult::Converted) CommitRenames(s);
    if (result != ConvertResult::Converted) result = Undo(s, result);
    file_steps::RemoveOwn(s.cmd.temp.Text());
    file_steps::RemoveOwn(s.ini.temp.Text());
    return result;
}

// Reads the source whole, as other programs leave it readable. A hold (an
// exclusive open, a locked range) is waited for, each try reading afresh,
// and then told as such, never as "not a settings file". Converted here
// means read and fit to convert.
ConvertResult ConvertJob::ReadSource() {
    bool opened = false;
    LegacyRead read = LegacyRead::ReadFailed;
    const FileStatus status = file_steps::RepeatWhile(file_steps::IsBusy, [&] {
        commands.Clear();
        settings_.Reset();
        SourceFile source;
        opened = source.OpenShared(sourcePath.Text());
        if (!opened) return LastFileStatus();
        read = ReadLegacySettings(source, settings_, commands);
        return read == LegacyRead::ReadFailed ? source.failed : FileStatus::Done;
    });
    if (status == FileStatus::Busy) return ConvertResult::SourceHeld;
    if (!opened) return ConvertResult::NotSettingsFile;
    if (read == LegacyRead::ReadFailed) return ConvertResult::SourceUnreadable;  // incomplete: nothing is written
    if (read == LegacyRead::OutOfMemory) return ConvertResult::NotSaved;
    if (settings_.hotKeyCode == 0 && settings_.hotKeyModifiers == 0)
        return ConvertResult::NotSettingsFile;  // the commands read stay until the next run
    return ConvertResult::Converted;
}

ConvertResult ConvertJob::RunConversion() {
    ConvertResult result = ReadSource();
    if (result == ConvertResult::Converted) result = SaveNewFiles();
    if (result != ConvertResult::Converted) sourcePath.Wipe();
    return result;
}

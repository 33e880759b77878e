#include "convert/convert_job.h"

#include <initializer_list>

#include "convert/command_file.h"
#include "convert/file_steps.h"
#include "platform/files.h"

using file_steps::FileBytes;

// The mark of this program's temporary files. Their names are fixed, so
// that a run removes what a killed or cut run left, and never a user's
// file; creating them only as new files keeps two runs at once apart.
constexpr char kTempMark[] = ".vaxuconv.tmp";

// One of the launcher's two files in one save: its bytes as found, and
// where its new content and its new backup are made before they take
// their names.
struct SavedFile {
    StrBuf path, backup, temp, backupTemp;
    FileBytes old;
    bool existed = false, swapping = false;
    unsigned guarding = 0;  // read-only, hidden, system: as found

    bool Build(const StrBuf& folder, const char* name) {
        const char* in = folder.Text();
        if (!path.Format("%s%s", in, name) || !backup.Format("%s%s.bak", in, name) ||
            !temp.Format("%s%s%s", in, name, kTempMark) || !backupTemp.Format("%s%s.bak%s", in, name, kTempMark))
            return false;
        // A file that cannot be told there or not (no right to look) is
        // never taken for missing: that would replace it unread.
        const FileStatus found = file_steps::Probe(path.Text());
        existed = found == FileStatus::Done;
        if (file_steps::ReadGuarding(path.Text(), guarding) != FileStatus::Done) return false;
        return (existed && old.Load(path.Text())) || found == FileStatus::Missing;
    }
};

// One save of the new files: what it touches and what it must be able to
// put back.
struct SaveState {
    StrBuf folder;
    SavedFile ini, cmd;
    CommandFileText text;

    bool Build(const StrBuf& installFolder, const CommandList& commands) {
        // A folder read without its backslash still names the folder itself.
        // The last character is tested, so a trail byte of 0x5C is no separator.
        if (!folder.Assign(installFolder)) return false;
        const bool ends = folder.EndsWithChar('\\') || folder.EndsWithChar('/');
        return (folder.IsEmpty() || ends || folder.Append("\\")) && text.Build(commands) &&
               ini.Build(folder, "vaxu.ini") && cmd.Build(folder, "vaxu_cmd.txt");
    }
};

namespace {
ConvertJob* g_liveJob = nullptr;

// The source, whose reads a test can make fail; it keeps why a read failed.
class SourceFile : public FileObj {
public:
    int Read(void* buffer, int count) override {
        if (step_fault::TryFails(failed)) return -1;
        const int got = FileObj::Read(buffer, count);
        if (got < 0) failed = LastFileStatus();
        return got;
    }
    FileStatus failed = FileStatus::Refused;
};

// What a killed or cut run left, or this run: false where one stays.
bool RemoveTemporaryFiles(const SaveState& s) {
    bool removed = true;
    for (const StrBuf* temp : {&s.ini.temp, &s.cmd.temp, &s.ini.backupTemp, &s.cmd.backupTemp})
        removed = file_steps::Remove(temp->Text()) && removed;
    return removed;
}

bool WriteSettingsFile(const LegacySettings& s, const char* iniPath) {
    struct Key {
        const char *section, *name;
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
        if (!ok || !file_steps::Step() || !WriteProfileText(k.section, k.name, value.Text(), iniPath)) return false;
    }
    return true;
}

// The new files are made complete under their temporary names. The new
// settings go into a copy of vaxu.ini, key by key, so that other keys
// survive and the file itself changes in one step or not at all.
bool PrepareNewFiles(SaveState& s, const LegacySettings& settings) {
    const char* temp = s.ini.temp.Text();
    if (s.text.Size() > 0 && !file_steps::WriteNew(s.cmd.temp.Text(), s.text.Data(), s.text.Size())) return false;
    if (!file_steps::WriteNew(temp, s.ini.old.Data(), s.ini.old.Size())) return false;
    const bool written = WriteSettingsFile(settings, temp);
    ForgetProfile(temp);
    return written && file_steps::Flush(temp);
}

// The file as this save found it becomes its .bak, over an older one,
// renamed in complete and flushed, never written in place, and neither
// read-only nor hidden: it is for the user to find and copy back. Where
// there is no such file, an earlier .bak stays as it is.
ConvertResult BackUp(const SavedFile& f, ConvertResult blocked) {
    if (!f.existed) return ConvertResult::Converted;
    if (!file_steps::WriteNew(f.backupTemp.Text(), f.old.Data(), f.old.Size(), f.path.Text()))
        return ConvertResult::NotSaved;
    const FileStatus moved = file_steps::Replace(f.backupTemp.Text(), f.backup.Text(), false);
    if (moved != FileStatus::Done) return file_steps::IsHeld(moved) ? blocked : ConvertResult::NotSaved;
    return ConvertResult::Converted;
}

// A rename or a deletion is durable only once a flush has committed it:
// one flush, of any file in the folder, commits those made so far. The
// flush goes through a file of this run's own, whose name the backup of
// vaxu.ini no longer needs, so that no other program's hold on the
// launcher's files can stop it.
bool Commit(const SaveState& s) {
    const char* name = s.ini.backupTemp.Text();
    return file_steps::Remove(name) && file_steps::WriteNew(name, "", 0);
}

// vaxu_cmd.txt first (without commands there is no new one: the old one is
// removed), then vaxu.ini; the save is complete once a commit has made the
// swap durable. false: put back what swapping says was reached.
bool SwapFiles(SaveState& s) {
    s.cmd.swapping = true;
    const bool commands = s.text.Size() > 0 ? file_steps::SwapIn(s.cmd.temp.Text(), s.cmd.path.Text(), s.cmd.existed)
                                            : !s.cmd.existed || file_steps::Remove(s.cmd.path.Text());
    if (!commands) return false;
    s.ini.swapping = true;
    return file_steps::SwapIn(s.ini.temp.Text(), s.ini.path.Text(), s.ini.existed) && Commit(s);
}

// After a failed swap: the file's old bytes back, put in as the save puts
// a file in, with its attributes; or no file where there was none.
Restore PutBack(const SavedFile& f) {
    if (!f.swapping) return Restore::Nothing;
    if (!f.existed)  // where the swap made none, there is none to remove
        return file_steps::Probe(f.path.Text()) == FileStatus::Missing || file_steps::Remove(f.path.Text())
                   ? Restore::Nothing
                   : Restore::Remove;
    FileBytes now;
    const bool back = (now.Load(f.path.Text()) && now.Equals(f.old)) ||
                      (file_steps::Remove(f.temp.Text()) &&
                       file_steps::WriteNew(f.temp.Text(), f.old.Data(), f.old.Size(), f.backup.Text()) &&
                       file_steps::SwapIn(f.temp.Text(), f.path.Text(), true));
    // Attributes lost, even where the bytes never left (a refused re-set),
    // are set again; where they cannot be, the file is named all the same.
    const bool kept = back && (GuardingAttributes(f.path.Text()) == f.guarding ||
                               file_steps::SetGuarding(f.path.Text(), f.guarding) == FileStatus::Done);
    return kept ? Restore::Nothing : Restore::FromBackup;
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

// Nothing the launcher reads changes until both new files and both
// backups are complete on disk. Then each file is swapped in whole. A
// failure puts back what was changed.
ConvertResult ConvertJob::SaveNewFiles() {
    restoreSettings = restoreCommands = Restore::Nothing;
    if (beforeSave && !beforeSave()) return ConvertResult::LauncherLeftRunning;
    SaveState s;
    if (!s.Build(installFolder, commands) || !RemoveTemporaryFiles(s)) return ConvertResult::NotSaved;

    ConvertResult result = ConvertResult::NotSaved;
    if (PrepareNewFiles(s, settings_)) result = BackUp(s.ini, ConvertResult::SettingsBackupBlocked);
    if (result == ConvertResult::Converted) result = BackUp(s.cmd, ConvertResult::CommandBackupBlocked);
    if (result == ConvertResult::Converted && !SwapFiles(s)) {
        restoreSettings = PutBack(s.ini);
        restoreCommands = PutBack(s.cmd);
        result = restoreSettings == Restore::Nothing && restoreCommands == Restore::Nothing ? ConvertResult::NotSaved
                                                                                           : ConvertResult::NotRestored;
        // What was put back stands, so the result is true whether or not
        // this commit is made: it only carries the undo through a power cut.
        Commit(s);
    }
    RemoveTemporaryFiles(s);
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

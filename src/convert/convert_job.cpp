#include "convert/convert_job.h"

#include <cstddef>

#include "convert/command_file.h"
#include "convert/step_fault.h"
#include "platform/files.h"

namespace {
ConvertJob* g_liveJob = nullptr;
constexpr int kBlock = 1 << 16;

// Each step that changes a file asks first whether a test wants it to fail.
bool Step() { return !step_fault::Fails(); }

// Writes size bytes to a new file at path and flushes them to the disk.
bool WriteNewFile(const char* path, const char* data, std::size_t size) {
    FileObj file;
    if (!Step() || !file.Open(path, true, true)) return false;
    for (std::size_t at = 0; at < size;) {
        int chunk = size - at > kBlock ? kBlock : static_cast<int>(size - at);
        if (!Step() || !file.Write(data + at, chunk)) return false;
        at += chunk;
    }
    return Step() && file.Flush();
}

// Copies the bytes only: the copy is a plain new file whatever the
// attributes of the original.
bool CopyBytes(const char* from, const char* to) {
    FileObj source, target;
    if (!source.Open(from, false, false) || !Step() || !target.Open(to, true, true)) return false;
    char block[4096];
    for (int got; (got = source.Read(block, sizeof block)) > 0;) {
        if (!target.Write(block, got)) return false;
    }
    return target.Flush();
}

// Puts the previous command file back from its backup (or removes a new
// one that had no predecessor) after a later step failed.
void RestoreCommandFile(const SavePaths& paths, bool hadCommands) {
    if (!hadCommands) {
        DeleteFileAt(paths.cmd.Text());
    } else if (CopyFileOver(paths.backup.Text(), paths.cmdTemp.Text())) {
        ReplaceFileWith(paths.cmdTemp.Text(), paths.cmd.Text());
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
           cmd.Format("%s%s", folder.Text(), "vaxu_cmd.txt") &&
           cmdTemp.Format("%s%s", folder.Text(), "vaxu_cmd.txt.tmp") &&
           backup.Format("%s%s", folder.Text(), "vaxu_cmd.txt.bak");
}

// The new settings go into a copy of vaxu.ini, key by key, so that other
// keys survive and the file itself changes in one step or not at all.
bool ConvertJob::PrepareSettingsFile(const SavePaths& paths) {
    if (FileExists(paths.ini.Text())) {
        if (!CopyBytes(paths.ini.Text(), paths.iniTemp.Text())) return false;
    } else {
        DeleteFileAt(paths.iniTemp.Text());  // left over from an interrupted run
    }
    bool ok = WriteSettingsFile(paths.iniTemp.Text());
    ForgetProfile(paths.iniTemp.Text());
    return ok;
}

// Nothing the launcher reads changes until both new files are complete on
// disk; then the old command file is copied to the backup and each file is
// swapped in whole. A failure at any step leaves vaxu.ini and vaxu_cmd.txt
// as they were and removes the temporary files.
bool ConvertJob::SaveNewFiles() {
    SavePaths paths;
    CommandFileText text;
    if (!paths.Build(installFolder) || !text.Build(commands)) return false;
    const bool hadCommands = FileExists(paths.cmd.Text());
    const bool hasCommands = text.Size() > 0;
    bool ok = (!hasCommands || WriteNewFile(paths.cmdTemp.Text(), text.Data(), text.Size())) &&
              PrepareSettingsFile(paths) &&
              (!hadCommands || (Step() && CopyFileOver(paths.cmd.Text(), paths.backup.Text()))) &&
              (hasCommands ? Step() && ReplaceFileWith(paths.cmdTemp.Text(), paths.cmd.Text())
                           : !hadCommands || (Step() && DeleteFileAt(paths.cmd.Text())));
    if (ok && !(Step() && ReplaceFileWith(paths.iniTemp.Text(), paths.ini.Text()))) {
        RestoreCommandFile(paths, hadCommands);
        ok = false;
    }
    DeleteFileAt(paths.cmdTemp.Text());
    DeleteFileAt(paths.iniTemp.Text());
    return ok;
}

ConvertResult ConvertJob::RunConversion() {
    commands.Clear();
    settings_.Reset();

    ConvertResult result = ConvertResult::NotSaved;
    FileObj source;
    if (!source.Open(sourcePath.Text(), false, false)) {
        result = ConvertResult::NotSettingsFile;
    } else if (ReadLegacySettings(source, settings_, commands)) {
        if (settings_.hotKeyCode == 0 && settings_.hotKeyModifiers == 0) {
            result = ConvertResult::NotSettingsFile;  // the commands read stay until the next run
        } else if (SaveNewFiles()) {
            result = ConvertResult::Converted;
        }
    }
    source.Close();
    if (result != ConvertResult::Converted) sourcePath.Wipe();
    return result;
}

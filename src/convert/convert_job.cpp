#include "convert/convert_job.h"

#include "platform/files.h"

namespace {
ConvertJob* g_liveJob = nullptr;

const char* FlagValue(int modifiers, int bit) { return (modifiers & bit) ? "1" : "0"; }

// A field without storage removes the key; an empty one writes "KEY=".
const char* ValueOrNull(const StrBuf& field) { return field.HasStorage() ? field.Text() : nullptr; }
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
    struct Number {
        const char* key;
        int value;
    } numbers[] = {
        {"History", s.historyMax},       {"ToolTip", s.toolTip},     {"ImeCtrl", s.imeCtrl},
        {"WndWidth", s.windowWidth},     {"WndHeight", s.windowHeight}, {"SavePosition", s.savePosition},
    };
    StrBuf value;
    bool ok = WriteProfileText("HotKey", "ALT", FlagValue(s.hotKeyModifiers, 1), iniPath) &&
              WriteProfileText("HotKey", "Shift", FlagValue(s.hotKeyModifiers, 4), iniPath) &&
              WriteProfileText("HotKey", "Ctrl", FlagValue(s.hotKeyModifiers, 2), iniPath) &&
              value.Format("%d", s.hotKeyCode) && WriteProfileText("HotKey", "Key", value.Text(), iniPath);
    for (const Number& n : numbers) {
        ok = ok && value.Format("%d", n.value) && WriteProfileText("VAXU", n.key, value.Text(), iniPath);
    }
    return ok;
}

bool ConvertJob::ReplaceCommandFile(const StrBuf& cmdPath) {
    if (FileExists(cmdPath.Text())) {
        // The old command file goes only once its copy is safe.
        StrBuf backup = Concat(cmdPath, ".bak");
        if (backup.IsEmpty() || !CopyFileOver(cmdPath.Text(), backup.Text())) return false;
        if (!DeleteFileAt(cmdPath.Text())) return false;
    }
    for (int i = 0; i < commands.Count(); ++i) {
        const CommandEntry& e = commands[i];
        const char* section = e.name.Text();
        if (!WriteProfileText(section, "PATH", ValueOrNull(e.path), cmdPath.Text()) ||
            !WriteProfileText(section, "FOLDER", ValueOrNull(e.folder), cmdPath.Text()) ||
            !WriteProfileText(section, "COMMENT", ValueOrNull(e.comment), cmdPath.Text()))
            return false;
    }
    return true;
}

ConvertResult ConvertJob::RunConversion() {
    commands.Clear();
    settings_.Reset();

    ConvertResult result = ConvertResult::NotSaved;
    FileObj source;
    if (!source.Open(sourcePath.Text(), false, false)) {
        result = ConvertResult::NotSettingsFile;
    } else if (ReadLegacySettings(source, settings_, commands)) {
        StrBuf iniPath, cmdPath;
        if (settings_.hotKeyCode == 0 && settings_.hotKeyModifiers == 0) {
            result = ConvertResult::NotSettingsFile;  // the commands read stay until the next run
        } else if (iniPath.Format("%s%s", installFolder.Text(), "vaxu.ini") &&
                   cmdPath.Format("%s%s", installFolder.Text(), "vaxu_cmd.txt") &&
                   WriteSettingsFile(iniPath.Text()) && ReplaceCommandFile(cmdPath)) {
            result = ConvertResult::Converted;
        }
    }
    source.Close();
    if (result != ConvertResult::Converted) sourcePath.Wipe();
    return result;
}

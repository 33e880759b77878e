#include "convert/convert_job.h"

#include <chrono>
#include <cstddef>
#include <cstring>
#include <thread>

#include "convert/command_file.h"
#include "convert/step_fault.h"
#include "platform/files.h"
#include "text/memory.h"

namespace {
ConvertJob* g_liveJob = nullptr;
constexpr int kBlock = 1 << 16;
// Pauses between tries while another program holds a file: about a
// second in all, enough for an indexer or a virus scanner to let go.
constexpr int kBusyPausesMs[] = {50, 100, 150, 300, 400};

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

// The whole content of a file, held in memory.
class FileBytes {
public:
    FileBytes() = default;
    ~FileBytes() { MemFree(data_, capacity_); }
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;

    // Reads the file to its end, leaving other programs free to read and
    // write it meanwhile. False on any read error: a short copy is no copy.
    bool Load(const char* path) {
        FileObj file;
        if (step_fault::ReadFails() || !file.OpenShared(path)) return false;
        for (;;) {
            if (capacity_ - size_ < kReadBlock && !Grow()) return false;
            int got = step_fault::ReadFails() ? -1 : file.Read(data_ + size_, kReadBlock);
            if (got < 0) return false;
            if (got == 0) return true;
            size_ += got;
        }
    }
    const char* Data() const { return data_; }
    std::size_t Size() const { return size_; }

private:
    static constexpr std::size_t kReadBlock = 4096;
    bool Grow() {
        std::size_t capacity = capacity_ ? capacity_ * 2 : kReadBlock * 2;
        char* data = static_cast<char*>(MemAlloc(capacity));
        if (!data) return false;
        if (size_) std::memcpy(data, data_, size_);
        MemFree(data_, capacity_);
        data_ = data;
        capacity_ = capacity;
        return true;
    }

    char* data_ = nullptr;
    std::size_t size_ = 0, capacity_ = 0;
};

// Tries op again while another program holds a file for a moment.
template <typename Op>
FileStatus WhileBusy(Op op) {
    FileStatus status = op();
    for (int pause : kBusyPausesMs) {
        if (status != FileStatus::Busy) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(pause));
        status = op();
    }
    return status;
}

// Puts a complete temporary file in place of target. A rename does it in
// one step. Where the rename is refused (as it may be in a folder under
// UAC file virtualization, which renames may not reach), the temporary
// file is copied over target instead, then deleted. steps: whether the
// test seam may fail the tries (not while putting old files back).
bool SwapIn(const char* temp, const char* target, bool steps) {
    FileStatus moved = WhileBusy([&] {
        FileStatus forced;
        if (steps && !Step()) return FileStatus::Refused;
        return step_fault::ForcedRename(forced) ? forced : ReplaceFileWith(temp, target);
    });
    if (moved == FileStatus::Done) return true;
    if (moved == FileStatus::Missing) return false;
    if (WhileBusy([&] { return steps && !Step() ? FileStatus::Refused : CopyFileOver(temp, target); }) !=
        FileStatus::Done)
        return false;
    DeleteFileAt(temp);
    return true;
}

// Puts a file back as it was after a swap failed, which a copy may have
// left half-written: from its old bytes, or gone when it had none.
void PutBack(const char* target, const char* temp, const FileBytes* old) {
    if (!old) {
        DeleteFileAt(target);
    } else if (WriteNewFile(temp, old->Data(), old->Size())) {
        SwapIn(temp, target, false);
    }
}

// The same for the command file, from the backup made before the swap.
void PutBackCommandFile(const SavePaths& paths, bool hadCommands) {
    if (!hadCommands) {
        DeleteFileAt(paths.cmd.Text());
    } else if (CopyFileOver(paths.backup.Text(), paths.cmdTemp.Text()) == FileStatus::Done) {
        SwapIn(paths.cmdTemp.Text(), paths.cmd.Text(), false);
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
bool ConvertJob::PrepareSettingsFile(const SavePaths& paths, const char* oldIni, std::size_t oldSize) {
    if (oldIni) {
        if (!WriteNewFile(paths.iniTemp.Text(), oldIni, oldSize)) return false;
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
    FileBytes oldIni;
    if (!paths.Build(installFolder) || !text.Build(commands)) return false;
    const bool hadCommands = FileExists(paths.cmd.Text());
    const bool hadIni = FileExists(paths.ini.Text());
    const bool hasCommands = text.Size() > 0;
    bool ok = (!hasCommands || WriteNewFile(paths.cmdTemp.Text(), text.Data(), text.Size())) &&
              (!hadIni || oldIni.Load(paths.ini.Text())) &&
              PrepareSettingsFile(paths, hadIni ? oldIni.Data() : nullptr, oldIni.Size()) &&
              (!hadCommands || (Step() && CopyFileOver(paths.cmd.Text(), paths.backup.Text()) == FileStatus::Done));
    if (ok) {
        const bool commandsSwapped = hasCommands ? SwapIn(paths.cmdTemp.Text(), paths.cmd.Text(), true)
                                                 : !hadCommands || (Step() && DeleteFileAt(paths.cmd.Text()));
        ok = commandsSwapped && SwapIn(paths.iniTemp.Text(), paths.ini.Text(), true);
        if (commandsSwapped && !ok) PutBack(paths.ini.Text(), paths.iniTemp.Text(), hadIni ? &oldIni : nullptr);
        if (!ok) PutBackCommandFile(paths, hadCommands);
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

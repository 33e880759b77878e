// The conversion context shared by the start-up flow, the source file
// dialog and the run that turns path.txt into vaxu.ini and vaxu_cmd.txt.
#pragma once
#include "convert/legacy_reader.h"
#include "text/lists.h"
#include "text/strbuf.h"

enum class ConvertResult {
    Converted,         // both new files were written
    NotSettingsFile,   // the source could not be opened or holds no hot key
    SourceHeld,        // another program holds the source and lets no one read it
    SourceUnreadable,  // the source could not be read to its end
    NotSaved,          // the new files were not written (or memory ran out); both as they were
    // vaxu.ini.bak or vaxu_cmd.txt.bak cannot be replaced (another program
    // holds it, or it is a folder); vaxu.ini and vaxu_cmd.txt as they were.
    SettingsBackupBlocked,
    CommandBackupBlocked,
    NotRestored,          // not saved, and a file could not be put back: see restoreSettings, restoreCommands
    LauncherLeftRunning,  // beforeSave said no: nothing was written
};

// What a user must do by hand to a file that a failed save could not put back.
enum class Restore {
    Nothing,
    FromBackup,  // its old bytes are in its .bak
    Remove,      // there was no such file before
};

class ConvertJob {
public:
    // Window and module handles are kept as plain pointers so that this
    // header stays free of the Windows headers.
    void* dialogWindow = nullptr;
    StrBuf sourcePath;
    StrBuf installFolder;
    CommandList commands;
    // Asked before each save touches the install folder; false saves
    // nothing (the launcher, still running, would write over the files).
    bool (*beforeSave)() = nullptr;
    // After NotRestored: the files to be put back by hand.
    Restore restoreSettings = Restore::Nothing;
    Restore restoreCommands = Restore::Nothing;

    // Empties the job and makes it the live job of the process.
    void Init();
    // Clears the live job pointer and releases everything.
    void Teardown();

    // Converts sourcePath into the new files in installFolder. Any result
    // other than Converted leaves sourcePath wiped and, but for NotRestored,
    // vaxu.ini and vaxu_cmd.txt as they were. Each of them that exists is
    // first copied to its .bak, over an older one; a .bak may thus hold its
    // file as it was just before a run that then failed.
    ConvertResult RunConversion();

    // Windows only: the flow's choice of source, and the source file dialog.
    bool SelectSource(void* instance, const StrBuf& candidate, const StrBuf& installFolderPath);
    bool InitSourceDialog(void* window);
    bool AcceptSource();
    bool BrowseSource();
    bool TakeDroppedSource(void* drop);

private:
    ConvertResult ReadSource();
    ConvertResult SaveNewFiles();

    LegacySettings settings_;
};

// The live job, set by Init and cleared by Teardown; the dialog reaches
// the job through it.
ConvertJob* LiveJob();

// The conversion context shared by the start-up flow, the source file
// dialog and the run that turns path.txt into vaxu.ini and vaxu_cmd.txt.
#pragma once
#include "convert/legacy_reader.h"
#include "text/lists.h"
#include "text/strbuf.h"

enum class ConvertResult {
    Converted,        // both new files were written
    NotSettingsFile,  // the source could not be opened or holds no hot key
    SourceUnreadable, // the source could not be read to its end
    NotSaved,         // the new files could not be written (or memory ran out)
};

// The files one save touches, all in the install folder.
struct SavePaths {
    StrBuf ini, iniTemp, iniBackup, cmd, cmdTemp, backup;
    bool Build(const StrBuf& installFolder);
};

struct SaveState;

class ConvertJob {
public:
    // Window and module handles are kept as plain pointers so that this
    // header stays free of the Windows headers.
    void* dialogWindow = nullptr;
    StrBuf sourcePath;
    StrBuf installFolder;
    CommandList commands;

    // Empties the job and makes it the live job of the process.
    void Init();
    // Clears the live job pointer and releases everything.
    void Teardown();

    // Converts sourcePath into the new files in installFolder. Any result
    // other than Converted leaves sourcePath wiped, and vaxu.ini and
    // vaxu_cmd.txt as they were, or, where one could not be put back, its
    // old bytes in vaxu.ini.bak* or vaxu_cmd.txt.bak. A previous
    // vaxu_cmd.txt is replaced only after it was copied to vaxu_cmd.txt.bak;
    // a different vaxu_cmd.txt.bak is first kept as vaxu_cmd.txt.bak<n>.
    ConvertResult RunConversion();

    // Windows only: the flow's choice of source, and the source file dialog.
    bool SelectSource(void* instance, const StrBuf& candidate, const StrBuf& installFolderPath);
    bool InitSourceDialog(void* window);
    bool AcceptSource();
    bool BrowseSource();
    bool TakeDroppedSource(void* drop);

private:
    bool WriteSettingsFile(const char* iniPath);
    bool PrepareSettingsFile(const SaveState& save);
    bool SaveNewFiles();

    LegacySettings settings_;
};

// The live job, set by Init and cleared by Teardown; the dialog reaches
// the job through it.
ConvertJob* LiveJob();

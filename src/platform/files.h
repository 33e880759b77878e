// File services the conversion core needs: an open file, the existence
// test, copy, delete and the profile (INI) writer.
#pragma once
#include <cstdint>

#include "text/strbuf.h"

class FileObj {
public:
    FileObj() = default;
    virtual ~FileObj() { Close(); }
    FileObj(const FileObj&) = delete;
    FileObj& operator=(const FileObj&) = delete;

    // Exclusive open (no sharing). write asks for read and write access,
    // create makes a new empty file; otherwise the file must exist.
    virtual bool Open(const char* path, bool write, bool create);
    // Opens an existing file for reading while other programs may go on
    // reading and writing it, as the profile service opens INI files.
    bool OpenShared(const char* path);
    // Makes a new empty file for writing; fails when the name is taken, so
    // it can never replace a file.
    bool CreateNew(const char* path);
    virtual void Close();
    virtual bool IsOpen() const { return handle_ != 0; }
    virtual const StrBuf& GetPath() const { return path_; }
    // Bytes read; 0 at the end or when closed; -1 on a read error.
    virtual int Read(void* buffer, int count);
    virtual bool Write(const void* buffer, int count);
    virtual bool Seek(long distance, int method);
    // The whole size, all 64 bits of it; kUnknownSize when it cannot be read.
    virtual std::uint64_t GetSize();
    static constexpr std::uint64_t kUnknownSize = ~std::uint64_t(0);
    // Writes the file's data through to the disk; false when closed.
    bool Flush();
    // Gives the file the last-write time of the file at from, as a copy
    // keeps it.
    bool TakeWriteTime(const char* from);

private:
    std::intptr_t handle_ = 0;  // 0 when closed
    StrBuf path_;
};

// How a file operation ended, as far as the caller can act on it.
enum class FileStatus {
    Done,
    Missing,  // the source (or the target's folder) is not there
    // A sharing or a lock violation: another program holds the file, for
    // a moment or for good.
    Busy,
    // Access denied: what a rename onto a held file gives, but also a
    // folder where a file was expected, or no permission.
    Denied,
    Exists,   // the new name is taken
    Refused,  // anything else: a full disk, a broken medium
};

// The status of the file call that failed last on this thread.
FileStatus LastFileStatus();

// True when a find-first search for path (wildcards allowed) finds an entry.
bool FileExists(const char* path);
// Copies from onto to, replacing an existing to.
FileStatus CopyFileOver(const char* from, const char* to);
FileStatus DeleteFileAt(const char* path);
// Moves from onto to in one step, replacing an existing to. The system is
// asked to write the move through, but only a later flush is sure to
// have made it durable.
FileStatus ReplaceFileWith(const char* from, const char* to);
// Writes what the system holds of the file's data through to the disk.
FileStatus FlushFileAt(const char* path);
// Whether something is at path: Done, Missing, or why it could not be told.
FileStatus ProbeFile(const char* path);
// The attributes for which Windows refuses to replace or delete a file
// (read-only) or to copy over it (read-only, hidden, system), with the
// values Windows gives them; 0 when there are none or no file.
constexpr unsigned kReadOnlyAttribute = 1, kHiddenAttribute = 2, kSystemAttribute = 4;
unsigned GuardingAttributes(const char* path);
// Sets exactly these of the guarding attributes, keeping the others.
bool SetGuardingAttributes(const char* path, unsigned attributes);
// Sets key=value in section of the INI file at path; a null value removes the key.
bool WriteProfileText(const char* section, const char* key, const char* value, const char* path);
// Lets go of what the profile writer keeps of the file, so that the file
// can be moved and a later write reads it afresh.
void ForgetProfile(const char* path);
// Waits on this thread for about ms milliseconds.
void PauseMs(int ms);

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
    virtual void Close();
    virtual bool IsOpen() const { return handle_ != 0; }
    virtual const StrBuf& GetPath() const { return path_; }
    // Bytes read, 0 on failure, at the end, or when closed.
    virtual int Read(void* buffer, int count);
    virtual bool Write(const void* buffer, int count);
    virtual bool Seek(long distance, int method);
    virtual unsigned long GetSize();
    // Writes the file's data through to the disk; false when closed.
    bool Flush();

private:
    std::intptr_t handle_ = 0;  // 0 when closed
    StrBuf path_;
};

// True when a find-first search for path (wildcards allowed) finds an entry.
bool FileExists(const char* path);
// Copies from onto to, replacing an existing to.
bool CopyFileOver(const char* from, const char* to);
bool DeleteFileAt(const char* path);
// Moves from onto to in one step, replacing an existing to, written
// through to the disk before it returns.
bool ReplaceFileWith(const char* from, const char* to);
// Sets key=value in section of the INI file at path; a null value removes the key.
bool WriteProfileText(const char* section, const char* key, const char* value, const char* path);
// Lets go of what the profile writer keeps of the file, so that the file
// can be moved and a later write reads it afresh.
void ForgetProfile(const char* path);

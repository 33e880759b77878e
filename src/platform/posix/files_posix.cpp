// Native file services: POSIX calls standing in for the Win32 ones.
#include <fcntl.h>
#include <glob.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/files.h"

namespace {
int AsFd(std::intptr_t h) { return static_cast<int>(h - 1); }

FileStatus StatusOf(bool done) { return done ? FileStatus::Done : LastFileStatus(); }

// Windows refuses to replace, copy over or delete a read-only file; so
// does this stand-in, even for root, so that the core meets it here too.
bool RefusedAsReadOnly(const char* target) {
    if (!(GuardingAttributes(target) & kReadOnlyAttribute)) return false;
    errno = EACCES;
    return true;
}

// Copies from onto to; create: only into a new file, as CopyFileA refuses
// an existing target when asked to. Like CopyFileA, the copy gets the
// source's read-only attribute.
FileStatus CopyInto(const char* from, const char* to, bool create) {
    FileObj source;
    if (!source.Open(from, false, false)) return StatusOf(false);
    if (!create && RefusedAsReadOnly(to)) return StatusOf(false);
    const int target = ::open(to, O_WRONLY | O_CREAT | O_CLOEXEC | (create ? O_EXCL : O_TRUNC), 0644);
    if (target < 0) return StatusOf(false);
    char block[4096];
    int got = 0;
    bool written = true;
    while (written && (got = source.Read(block, sizeof block)) > 0) written = ::write(target, block, got) == got;
    const FileStatus status = StatusOf(written && got == 0);
    ::close(target);
    if (status == FileStatus::Done) SetGuardingAttributes(to, GuardingAttributes(from));
    return status;
}
}  // namespace

FileStatus LastFileStatus() {
    if (errno == ENOENT || errno == ENOTDIR) return FileStatus::Missing;
    if (errno == EBUSY || errno == ETXTBSY) return FileStatus::Busy;
    if (errno == EACCES || errno == EPERM || errno == EISDIR) return FileStatus::Denied;  // as Windows for folders
    if (errno == EEXIST) return FileStatus::Exists;
    return FileStatus::Refused;
}

bool FileObj::Open(const char* path, bool write, bool create) {
    Close();
    int flags = (write ? O_RDWR : O_RDONLY) | (create ? O_CREAT | O_TRUNC : 0);
    int fd = ::open(path, flags | O_CLOEXEC, 0644);
    if (fd < 0) {
        handle_ = 0;
        return false;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {  // CreateFileA refuses folders too
        ::close(fd);
        errno = EISDIR;
        handle_ = 0;
        return false;
    }
    handle_ = static_cast<std::intptr_t>(fd) + 1;
    path_.Assign(path);
    return true;
}

bool FileObj::CreateNew(const char* path) {
    Close();
    const int fd = ::open(path, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    handle_ = static_cast<std::intptr_t>(fd) + 1;
    path_.Assign(path);
    return true;
}

void FileObj::Close() {
    if (!handle_) return;
    ::close(AsFd(handle_));
    handle_ = 0;
    path_.Wipe();
}

int FileObj::Read(void* buffer, int count) {
    if (!handle_ || count <= 0) return 0;
    ssize_t got = ::read(AsFd(handle_), buffer, static_cast<size_t>(count));
    return got < 0 ? -1 : static_cast<int>(got);
}

bool FileObj::Write(const void* buffer, int count) {
    return handle_ && count >= 0 && ::write(AsFd(handle_), buffer, count) == count;
}

bool FileObj::Seek(long distance, int method) {
    return handle_ && ::lseek(AsFd(handle_), distance, method) != static_cast<off_t>(-1);
}

unsigned long FileObj::GetSize() {
    struct stat st;
    if (!handle_ || fstat(AsFd(handle_), &st) != 0) return 0;
    return static_cast<unsigned long>(st.st_size);
}

bool FileObj::Flush() { return handle_ && ::fsync(AsFd(handle_)) == 0; }

bool FileExists(const char* path) {
    glob_t found;
    int rc = glob(path, GLOB_NOSORT | GLOB_NOESCAPE, nullptr, &found);
    globfree(&found);
    return rc == 0;
}

// POSIX has no share modes: every open is shared.
bool FileObj::OpenShared(const char* path) { return Open(path, false, false); }

FileStatus CopyFileOver(const char* from, const char* to) { return CopyInto(from, to, false); }

FileStatus CopyFileNew(const char* from, const char* to) { return CopyInto(from, to, true); }

FileStatus DeleteFileAt(const char* path) { return StatusOf(!RefusedAsReadOnly(path) && ::unlink(path) == 0); }

FileStatus ReplaceFileWith(const char* from, const char* to) {
    return StatusOf(!RefusedAsReadOnly(to) && std::rename(from, to) == 0);
}

// Windows needs write access to flush, which a read-only file refuses.
FileStatus FlushFileAt(const char* path) {
    if (RefusedAsReadOnly(path)) return StatusOf(false);
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return StatusOf(false);
    const FileStatus status = StatusOf(::fsync(fd) == 0);
    ::close(fd);
    return status;
}

FileStatus ProbeFile(const char* path) {
    struct stat st;
    return StatusOf(::stat(path, &st) == 0);
}

// Read-only as Windows shows a file that its owner may not write; the
// other guarding attributes have no counterpart here.
unsigned GuardingAttributes(const char* path) {
    struct stat st;
    return ::stat(path, &st) == 0 && !S_ISDIR(st.st_mode) && !(st.st_mode & S_IWUSR) ? kReadOnlyAttribute : 0;
}

bool SetGuardingAttributes(const char* path, unsigned attributes) {
    struct stat st;
    if (::stat(path, &st) != 0) return false;
    const mode_t writable = S_IWUSR | S_IWGRP | S_IWOTH;
    const mode_t mode = attributes & kReadOnlyAttribute ? st.st_mode & ~writable : st.st_mode | S_IWUSR;
    return ::chmod(path, mode & 07777) == 0;
}

bool ForEachName(const char* pattern, void (*each)(const char* name, void* context), void* context) {
    glob_t found;
    const int rc = glob(pattern, GLOB_NOSORT | GLOB_NOESCAPE, nullptr, &found);
    for (size_t i = 0; rc == 0 && i < found.gl_pathc; ++i) {
        const char* slash = std::strrchr(found.gl_pathv[i], '/');
        each(slash ? slash + 1 : found.gl_pathv[i], context);
    }
    globfree(&found);
    return rc == 0 || rc == GLOB_NOMATCH;
}

void ForgetProfile(const char*) {}  // the native writer keeps nothing between calls

void PauseMs(int ms) {
    struct timespec pause = {ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
}

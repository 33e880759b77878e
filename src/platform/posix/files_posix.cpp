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
#include "platform/posix/file_watch.h"

namespace {
const FileWatch* g_watch = nullptr;

bool Allow() {
    if (!g_watch || g_watch->allow()) return true;
    errno = EIO;
    return false;
}

void Tell(FileChange change, const char* path, const char* to = nullptr) {
    if (g_watch) g_watch->changed(change, path, to);
}

int AsFd(std::intptr_t h) { return static_cast<int>(h - 1); }

FileStatus StatusOf(bool done) { return done ? FileStatus::Done : LastFileStatus(); }

// Windows refuses to replace, copy over or delete a read-only file; so
// does this stand-in, even for root, so that the core meets it here too.
bool RefusedAsReadOnly(const char* target) {
    if (!(GuardingAttributes(target) & kReadOnlyAttribute)) return false;
    errno = EACCES;
    return true;
}

// Opens path as open(2) does, telling the watch of a file made or emptied.
int OpenFile(const char* path, int flags) {
    if (!Allow()) return -1;
    struct stat st;
    const bool existed = (flags & O_CREAT) && ::stat(path, &st) == 0;
    const int fd = ::open(path, flags | O_CLOEXEC, 0644);
    if (fd >= 0 && !existed && (flags & O_CREAT)) Tell(FileChange::Created, path);
    if (fd >= 0 && existed && (flags & O_TRUNC)) Tell(FileChange::Written, path);
    return fd;
}

bool WriteFile(int fd, const char* path, const void* data, int count) {
    if (!Allow()) return false;
    const bool written = ::write(fd, data, count) == count;
    if (count > 0) Tell(FileChange::Written, path);
    return written;
}

// A watched run needs no real disk sync: its power cut is simulated.
bool SyncFile(int fd, const char* path) {
    if (!Allow()) return false;
    const bool synced = g_watch || ::fsync(fd) == 0;
    if (synced) Tell(FileChange::Flushed, path);
    return synced;
}

// Copies from onto to. Like CopyFileA, the copy gets the source's
// read-only attribute.
FileStatus CopyInto(const char* from, const char* to) {
    FileObj source;
    if (!source.Open(from, false, false) || RefusedAsReadOnly(to)) return StatusOf(false);
    const int target = OpenFile(to, O_WRONLY | O_CREAT | O_TRUNC);
    if (target < 0) return StatusOf(false);
    char block[4096];
    int got = 0;
    bool written = true;
    while (written && (got = source.Read(block, sizeof block)) > 0) written = WriteFile(target, to, block, got);
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
    int fd = OpenFile(path, flags);
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
    const int fd = OpenFile(path, O_RDWR | O_CREAT | O_EXCL);
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
    if (!Allow()) return -1;
    ssize_t got = ::read(AsFd(handle_), buffer, static_cast<size_t>(count));
    return got < 0 ? -1 : static_cast<int>(got);
}

bool FileObj::Write(const void* buffer, int count) {
    return handle_ && count >= 0 && WriteFile(AsFd(handle_), path_.Text(), buffer, count);
}

bool FileObj::Seek(long distance, int method) {
    return handle_ && ::lseek(AsFd(handle_), distance, method) != static_cast<off_t>(-1);
}

std::uint64_t FileObj::GetSize() {
    struct stat st;
    if (!handle_) return 0;
    return fstat(AsFd(handle_), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : kUnknownSize;
}

bool FileObj::Flush() { return handle_ && SyncFile(AsFd(handle_), path_.Text()); }

bool FileObj::TakeWriteTime(const char* from) {
    struct stat st;
    if (!handle_ || !Allow() || ::stat(from, &st) != 0) return false;
    const struct timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
    return ::futimens(AsFd(handle_), times) == 0;
}

bool FileExists(const char* path) {
    if (!Allow()) return false;
    glob_t found;
    int rc = glob(path, GLOB_NOSORT | GLOB_NOESCAPE, nullptr, &found);
    globfree(&found);
    return rc == 0;
}

// POSIX has no share modes: every open is shared.
bool FileObj::OpenShared(const char* path) { return Open(path, false, false); }

FileStatus CopyFileOver(const char* from, const char* to) { return CopyInto(from, to); }

FileStatus DeleteFileAt(const char* path) {
    if (!Allow() || RefusedAsReadOnly(path) || ::unlink(path) != 0) return StatusOf(false);
    Tell(FileChange::Removed, path);
    return FileStatus::Done;
}

FileStatus ReplaceFileWith(const char* from, const char* to) {
    if (!Allow() || RefusedAsReadOnly(to) || std::rename(from, to) != 0) return StatusOf(false);
    Tell(FileChange::Renamed, from, to);
    return FileStatus::Done;
}

// Windows needs write access to flush, which a read-only file refuses.
FileStatus FlushFileAt(const char* path) {
    if (RefusedAsReadOnly(path)) return StatusOf(false);
    const int fd = OpenFile(path, O_RDONLY);
    if (fd < 0) return StatusOf(false);
    const FileStatus status = StatusOf(SyncFile(fd, path));
    ::close(fd);
    return status;
}

FileStatus ProbeFile(const char* path) {
    struct stat st;
    return StatusOf(Allow() && ::stat(path, &st) == 0);
}

// Read-only as Windows shows a file that its owner may not write; the
// other guarding attributes have no counterpart here.
unsigned GuardingAttributes(const char* path) {
    struct stat st;
    return Allow() && ::stat(path, &st) == 0 && !S_ISDIR(st.st_mode) && !(st.st_mode & S_IWUSR) ? kReadOnlyAttribute : 0;
}

bool SetGuardingAttributes(const char* path, unsigned attributes) {
    struct stat st;
    if (::stat(path, &st) != 0) return false;
    const mode_t writable = S_IWUSR | S_IWGRP | S_IWOTH;
    const mode_t mode = attributes & kReadOnlyAttribute ? st.st_mode & ~writable : st.st_mode | S_IWUSR;
    if (!Allow() || ::chmod(path, mode & 07777) != 0) return false;
    Tell(FileChange::Attributes, path);
    return true;
}

void ForgetProfile(const char*) {}  // the native writer keeps nothing between calls

void PauseMs(int ms) {
    struct timespec pause = {ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
}

void WatchFiles(const FileWatch* watch) { g_watch = watch; }

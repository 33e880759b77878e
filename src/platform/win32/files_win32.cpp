#include <windows.h>

#include "platform/files.h"

namespace {
HANDLE AsHandle(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }

FileStatus StatusOf(BOOL done) { return done ? FileStatus::Done : LastFileStatus(); }

std::intptr_t OpenHandle(const char* path, DWORD access, DWORD share, DWORD disposition) {
    HANDLE h = CreateFileA(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == nullptr || h == INVALID_HANDLE_VALUE ? 0 : reinterpret_cast<std::intptr_t>(h);
}
}  // namespace

FileStatus LastFileStatus() {
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return FileStatus::Missing;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return FileStatus::Busy;
    case ERROR_ACCESS_DENIED:
        return FileStatus::Denied;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return FileStatus::Exists;
    default:
        return FileStatus::Refused;
    }
}

bool FileObj::Open(const char* path, bool write, bool create) {
    Close();
    handle_ = OpenHandle(path, write ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ, 0,
                         create ? CREATE_ALWAYS : OPEN_EXISTING);
    if (handle_) path_.Assign(path);
    return handle_ != 0;
}

bool FileObj::OpenShared(const char* path) {
    Close();
    handle_ = OpenHandle(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    if (handle_) path_.Assign(path);
    return handle_ != 0;
}

bool FileObj::CreateNew(const char* path) {
    Close();
    handle_ = OpenHandle(path, GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW);
    if (handle_) path_.Assign(path);
    return handle_ != 0;
}

void FileObj::Close() {
    if (!handle_) return;
    CloseHandle(AsHandle(handle_));
    handle_ = 0;
    path_.Wipe();
}

int FileObj::Read(void* buffer, int count) {
    DWORD got = 0;
    if (!handle_ || count <= 0) return 0;
    if (!ReadFile(AsHandle(handle_), buffer, count, &got, nullptr)) return -1;
    return static_cast<int>(got);
}

bool FileObj::Write(const void* buffer, int count) {
    DWORD put = 0;
    return handle_ && count >= 0 && WriteFile(AsHandle(handle_), buffer, count, &put, nullptr) &&
           put == static_cast<DWORD>(count);
}

bool FileObj::Seek(long distance, int method) {
    return handle_ && SetFilePointer(AsHandle(handle_), distance, nullptr, method) != INVALID_SET_FILE_POINTER;
}

std::uint64_t FileObj::GetSize() {
    LARGE_INTEGER size;
    if (!handle_) return 0;
    return GetFileSizeEx(AsHandle(handle_), &size) ? static_cast<std::uint64_t>(size.QuadPart) : kUnknownSize;
}

bool FileObj::Flush() { return handle_ && FlushFileBuffers(AsHandle(handle_)); }

bool FileObj::TakeWriteTime(const char* from) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    return handle_ && GetFileAttributesExA(from, GetFileExInfoStandard, &data) &&
           SetFileTime(AsHandle(handle_), nullptr, nullptr, &data.ftLastWriteTime);
}

bool FileExists(const char* path) {
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(path, &data);
    if (h == nullptr || h == INVALID_HANDLE_VALUE) return false;
    FindClose(h);
    return true;
}

FileStatus CopyFileOver(const char* from, const char* to) { return StatusOf(CopyFileA(from, to, FALSE)); }

FileStatus DeleteFileAt(const char* path) { return StatusOf(DeleteFileA(path)); }

FileStatus ReplaceFileWith(const char* from, const char* to) {
    return StatusOf(MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
}

// Flushing needs write access; other programs may keep the file open.
FileStatus FlushFileAt(const char* path) {
    HANDLE h = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return LastFileStatus();
    const FileStatus status = StatusOf(FlushFileBuffers(h));
    CloseHandle(h);
    return status;
}

FileStatus ProbeFile(const char* path) {
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES ? FileStatus::Done : LastFileStatus();
}

namespace {
constexpr DWORD kGuarding = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
static_assert(kGuarding == (kReadOnlyAttribute | kHiddenAttribute | kSystemAttribute), "Windows' values");
}  // namespace

unsigned GuardingAttributes(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes == INVALID_FILE_ATTRIBUTES ? 0 : attributes & kGuarding;
}

bool SetGuardingAttributes(const char* path, unsigned guarding) {
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    DWORD wanted = (attributes & ~kGuarding) | (guarding & kGuarding);
    if (wanted == attributes) return true;
    return SetFileAttributesA(path, wanted ? wanted : FILE_ATTRIBUTE_NORMAL);
}

bool WriteProfileText(const char* section, const char* key, const char* value, const char* path) {
    return WritePrivateProfileStringA(section, key, value, path) != FALSE;
}

void ForgetProfile(const char* path) { WritePrivateProfileStringA(nullptr, nullptr, nullptr, path); }

void PauseMs(int ms) { Sleep(static_cast<DWORD>(ms)); }

#include <windows.h>

#include "platform/files.h"

namespace {
HANDLE AsHandle(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }
}  // namespace

bool FileObj::Open(const char* path, bool write, bool create) {
    Close();
    HANDLE h = CreateFileA(path, write ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ, 0, nullptr,
                           create ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == nullptr || h == INVALID_HANDLE_VALUE) {
        handle_ = 0;
        return false;
    }
    handle_ = reinterpret_cast<std::intptr_t>(h);
    path_.Assign(path);
    return true;
}

void FileObj::Close() {
    if (!handle_) return;
    CloseHandle(AsHandle(handle_));
    handle_ = 0;
    path_.Wipe();
}

int FileObj::Read(void* buffer, int count) {
    DWORD got = 0;
    if (!handle_ || count <= 0 || !ReadFile(AsHandle(handle_), buffer, count, &got, nullptr)) return 0;
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

unsigned long FileObj::GetSize() { return handle_ ? GetFileSize(AsHandle(handle_), nullptr) : 0; }

bool FileObj::Flush() { return handle_ && FlushFileBuffers(AsHandle(handle_)); }

bool FileExists(const char* path) {
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(path, &data);
    if (h == nullptr || h == INVALID_HANDLE_VALUE) return false;
    FindClose(h);
    return true;
}

bool CopyFileOver(const char* from, const char* to) { return CopyFileA(from, to, FALSE) != FALSE; }

bool DeleteFileAt(const char* path) { return DeleteFileA(path) != FALSE; }

bool ReplaceFileWith(const char* from, const char* to) {
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool WriteProfileText(const char* section, const char* key, const char* value, const char* path) {
    return WritePrivateProfileStringA(section, key, value, path) != FALSE;
}

void ForgetProfile(const char* path) { WritePrivateProfileStringA(nullptr, nullptr, nullptr, path); }

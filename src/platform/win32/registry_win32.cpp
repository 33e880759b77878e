#include <shlobj.h>

#include "platform/registry.h"

namespace {
constexpr DWORD kValueLimit = 500;
// The launcher and its installer are 32-bit programs: on 64-bit Windows
// their HKLM\Software values are in the 32-bit view, which a 64-bit build
// must ask for. A 32-bit build is there already; HKCU\Software is shared.
constexpr REGSAM kLauncherView = KEY_WOW64_32KEY;
}  // namespace

RegKey::~RegKey() {
    Close();
    subKey_.Release();
}

bool RegKey::Open(HKEY root, const char* subKey, bool writable, bool create) {
    Close();
    LONG status;
    if (create) {
        (void)writable;  // the create form always asks for full access
        status = RegCreateKeyExA(root, subKey, 0, const_cast<char*>(""), REG_OPTION_NON_VOLATILE,
                                 KEY_ALL_ACCESS | kLauncherView, nullptr, &handle_, nullptr);
    } else {
        status = RegOpenKeyExA(root, subKey, 0, KEY_READ | kLauncherView, &handle_);
    }
    if (status != ERROR_SUCCESS) {
        handle_ = nullptr;
        return false;
    }
    root_ = root;
    subKey_.Assign(subKey);
    return true;
}

void RegKey::Close() {
    if (handle_) RegCloseKey(handle_);
    handle_ = nullptr;
    root_ = nullptr;
}

bool RegKey::ReadStringValue(const char* name, StrBuf& target) {
    if (!handle_) return false;
    // At most 500 bytes land in at least 512 zeroed ones: always terminated.
    if (!target.Reserve(kValueLimit)) return false;
    DWORD type = REG_SZ;
    DWORD size = kValueLimit;
    LONG status = RegQueryValueExA(handle_, name, nullptr, &type, reinterpret_cast<BYTE*>(target.Data()), &size);
    if (status != ERROR_SUCCESS) {
        target.Wipe();
        return false;
    }
    return true;
}

bool GetSpecialFolder(StrBuf& out, int csidl) {
    if (!out.Reserve(kValueLimit)) return false;
    IMalloc* malloc = nullptr;
    if (FAILED(SHGetMalloc(&malloc)) || !malloc) return false;
    LPITEMIDLIST list = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(GetDesktopWindow(), csidl, &list)) || !list) {
        malloc->Release();
        return false;
    }
    // MAX_PATH bytes at most, into 512.
    BOOL hasPath = SHGetPathFromIDListA(list, out.Data());
    malloc->Free(list);
    malloc->Release();
    // A location without a file-system path is no folder to build on.
    if (!hasPath || out.IsEmpty()) {
        out.Wipe();
        return false;
    }
    // Look at the last character, not the last byte: "ソ" ends in 0x5C.
    if (!out.EndsWithChar('\\') && !out.Append("\\")) {
        out.Wipe();
        return false;
    }
    return true;
}

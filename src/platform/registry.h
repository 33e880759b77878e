// The launcher's registry key and the shell's special folders (Windows).
#pragma once
#include <windows.h>

#include "text/strbuf.h"

// Owner of at most one open registry key; reads string values into StrBuf.
class RegKey {
public:
    RegKey() = default;
    ~RegKey();
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    // Keys are opened in the 32-bit view, where the launcher keeps them.
    // Read form (writable and create false): KEY_READ, the key must exist.
    // Create form (both true): KEY_ALL_ACCESS, an empty key is made when
    // missing. A key held before is closed first, even when this open fails.
    bool Open(HKEY root, const char* subKey, bool writable, bool create);
    void Close();
    // Reads at most 500 bytes of the value, whatever its type, as text.
    // With no key open: false, target untouched. A failed read: false,
    // target empty.
    bool ReadStringValue(const char* name, StrBuf& target);
    // The open key, for further queries; null when none is open.
    HKEY Handle() const { return handle_; }

private:
    HKEY handle_ = nullptr;
    HKEY root_ = nullptr;
    StrBuf subKey_;
};

// The file-system path of a shell special folder (a CSIDL value), ending
// in exactly one backslash. False, with out empty, when the folder is
// unknown, has no file-system path, or memory ran out.
bool GetSpecialFolder(StrBuf& out, int csidl);

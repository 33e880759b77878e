// Helpers shared by the tests: temporary folders, whole-file I/O, and
// forcing allocation failures.
#pragma once
#include <cstdio>
#include <filesystem>
#include <string>

#include "text/memory.h"

namespace test {

// A fresh folder under the system's temporary folder, removed at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    // The folder's path, with a trailing separator, in the native form.
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

bool WriteBytes(const std::string& path, const std::string& bytes);
// The file's bytes; "<missing>" when it cannot be opened.
std::string ReadBytes(const std::string& path);
bool Exists(const std::string& path);
bool MakeFolder(const std::string& path);

// True when the Windows build runs under Wine. Wine's profile writer drops
// the blanks that end a value, where Windows keeps them in the file; both
// read the value back without them, so the launcher sees the same text.
bool UnderWine();
// A value as the profile writer of this platform stores it.
std::string StoredValue(const std::string& value);

// Makes the k-th allocation fail while in scope.
class AllocFailure {
public:
    explicit AllocFailure(long k, bool sticky = false) { alloc_fault::Arm(k, sticky); }
    ~AllocFailure() { alloc_fault::Disarm(); }
};

}  // namespace test

#include <utility>
#include <vector>

namespace test {
// An INI file as sections in file order, each with its key/value pairs.
struct IniSection {
    std::string name;
    std::vector<std::pair<std::string, std::string>> keys;
};
using Ini = std::vector<IniSection>;
Ini ParseIni(const std::string& bytes);
// The section's keys as "KEY=value" lines, or {"<no section>"}.
std::vector<std::string> KeysOf(const Ini& ini, const std::string& section);
}  // namespace test

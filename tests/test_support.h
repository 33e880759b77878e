// Helpers shared by the tests: temporary folders, whole-file I/O, and
// forcing allocation failures. Paths are narrow strings, so on Windows a
// Japanese name takes the ANSI code page, as the product's own calls do.
#pragma once
#include <string>

#include "text/memory.h"
#include "text/strbuf.h"

namespace test {

// A fresh folder under the system's temporary folder, removed at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    // The folder's path, with a trailing separator, in the native form.
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

bool WriteBytes(const std::string& path, const std::string& bytes = "x");
// The file's bytes; "<missing>" when it cannot be opened.
std::string ReadBytes(const std::string& path);
bool MakeFolder(const std::string& path);
// The file's identity on its volume, which a rename keeps and a copy over
// it does not change either; "" when it cannot be opened.
std::string FileId(const std::string& path);
// Whether the system calls are Wine's (false natively and on Windows).
bool UnderWine();
// A buffer holding text.
StrBuf Buf(const std::string& text);

// Makes the k-th allocation fail while in scope.
class AllocFailure {
public:
    explicit AllocFailure(long k, bool sticky = false) { alloc_fault::Arm(k, sticky); }
    ~AllocFailure() { alloc_fault::Disarm(); }
};

}  // namespace test

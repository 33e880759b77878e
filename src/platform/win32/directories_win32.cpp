#include <windows.h>

#include <cstring>

#include "platform/directories.h"

namespace {
bool IsDotEntry(const char* name) { return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0; }

// A find handle that is closed when it goes out of scope.
class FindHandle {
public:
    FindHandle(const char* pattern, WIN32_FIND_DATAA& data) : h_(FindFirstFileA(pattern, &data)) {}
    ~FindHandle() {
        if (IsValid()) FindClose(h_);
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    bool IsValid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
    bool Next(WIN32_FIND_DATAA& data) { return FindNextFileA(h_, &data) != FALSE; }

private:
    HANDLE h_;
};

// Searches one folder (dir ends in a backslash); subfolders go to pending.
bool ListFolder(const StrBuf& dir, StrList& out, StrList& pending, const char* pattern, bool recurse,
                bool includeDirectories) {
    StrBuf search = Concat(dir, pattern);
    if (search.IsEmpty()) return false;
    WIN32_FIND_DATAA data;
    FindHandle find(search.Text(), data);
    if (!find.IsValid()) return true;  // nothing to add from this folder
    bool ok = true;
    do {
        bool isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isDirectory && (!recurse || IsDotEntry(data.cFileName))) continue;
        // A link to a folder is listed like a file: the walk never enters it.
        if (isDirectory && !EntersFolder(data.dwFileAttributes)) isDirectory = false;
        StrBuf path = Concat(dir, data.cFileName);
        if (path.IsEmpty()) {
            ok = false;
            continue;
        }
        if (!isDirectory) {
            ok = out.PushBack(path) && ok;
        } else {
            ok = pending.PushBack(path) && ok;
            if (includeDirectories) ok = out.PushBack(path) && ok;
        }
    } while (find.Next(data));
    return ok;
}
}  // namespace

bool EntersFolder(unsigned long attributes) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool MakeDirPath(const StrBuf& path) {
    if (path.IsEmpty()) return false;
    StrBuf saved, work;
    if (!saved.Reserve(500) || !work.Assign(path)) return false;
    GetCurrentDirectoryA(500, saved.Data());
    if (SetCurrentDirectoryA(path.Text())) {
        SetCurrentDirectoryA(saved.Text());
        return true;
    }
    if (CreateDirectoryA(path.Text(), nullptr)) return true;

    if (work.EndsWithChar('\\')) work.Erase(work.Length() - 1, 1);
    int slash = work.FindLastChar('\\');
    if (slash <= 0) return false;  // no parent to create (or only the root "\")
    work.TruncateAfter(slash);
    bool made = MakeDirPath(work) && CreateDirectoryA(path.Text(), nullptr);
    SetCurrentDirectoryA(saved.Text());
    return made;
}

bool ListFiles(const StrBuf& root, StrList& out, const char* pattern, bool recurse, bool includeDirectories) {
    if (root.IsEmpty()) return true;
    StrList pending;
    if (!pending.PushBack(root)) return false;
    bool ok = true;
    while (pending.Count() > 0) {
        StrBuf dir = pending.PopBack();
        if (!dir.EndsWithChar('\\') && !dir.Append("\\")) {
            ok = false;
            continue;
        }
        ok = ListFolder(dir, out, pending, pattern, recurse, includeDirectories) && ok;
    }
    return ok;
}

// A link (junction or symbolic link) goes as a link, as with rd /s: a file
// link through DeleteFileA, a folder link through RemoveDirectoryA, and
// what it points at is never touched. That holds for root itself too.
bool RemoveTree(const StrBuf& root) {
    StrBuf bare;  // without a final separator, which could lead through a link
    if (!bare.Assign(root)) return false;
    if (bare.EndsWithChar('\\')) bare.Erase(bare.Length() - 1, 1);
    const DWORD attributes = GetFileAttributesA(bare.Text());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) && !EntersFolder(attributes))
        return RemoveDirectoryA(bare.Text()) != FALSE;
    StrList list;
    bool result = ListFiles(root, list, "*", true, true);
    // Descending order puts every path before the paths that are its
    // prefixes: contents before their folders, deeper folders first.
    list.Sort(0, list.Count() - 1, false);
    for (int i = 0; i < list.Count(); ++i) {
        const char* path = list[i].Text();
        if (!DeleteFileA(path) && !RemoveDirectoryA(path)) result = false;
    }
    if (!RemoveDirectoryA(root.Text())) result = false;
    return result;
}

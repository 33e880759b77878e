// Lets a test watch the native file calls and stop them, as a power cut
// would. Unset, every call goes ahead and nothing is told.
#pragma once

enum class FileChange { Created, Written, Flushed, Renamed, Removed, Attributes };

struct FileWatch {
    bool (*allow)();  // asked before each call; false: it fails (EIO) and changes nothing
    void (*changed)(FileChange change, const char* path, const char* to);  // after each change
};

void WatchFiles(const FileWatch* watch);

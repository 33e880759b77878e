// The file steps of saving the new settings files. Each asks the test seam
// first. Those that another program's hold can refuse (an editor, an
// indexer, a virus scanner) are tried again for about a second, with
// growing pauses, as Git for Windows does for its renames and deletions;
// so are the attribute changes around a read-only file in the way.
#pragma once
#include <cstddef>
#include <cstring>
#include <initializer_list>

#include "convert/step_fault.h"
#include "platform/files.h"

namespace file_steps {
// What another program's hold gives: a sharing violation, or access
// denied where a rename meets a held file (or a folder of that name).
inline bool IsHeld(FileStatus status) { return status == FileStatus::Busy || status == FileStatus::Denied; }
inline bool IsBusy(FileStatus status) { return status == FileStatus::Busy; }

// Tries attempt again while held(status). The wait is bounded and silent.
template <typename Attempt>
FileStatus RepeatWhile(bool (*held)(FileStatus), Attempt attempt) {
    FileStatus status = attempt();
    for (int pause : {50, 100, 150, 300, 400}) {
        if (!held(status)) break;
        PauseMs(pause);
        status = attempt();
    }
    return status;
}

// Whether a step that no other program can hold up may go ahead.
inline bool Step() { return !step_fault::Fails(); }

// The whole content of a file, held in memory.
class FileBytes {
public:
    FileBytes() = default;
    ~FileBytes();
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;

    // Reads the file to its end, leaving other programs free to read and
    // write it meanwhile, and tries again while it is held or changes size.
    // False on any other error: a short copy is no copy.
    bool Load(const char* path);
    bool Equals(const FileBytes& o) const { return size_ == o.size_ && (!size_ || !std::memcmp(data_, o.data_, size_)); }
    const char* Data() const { return data_; }
    std::size_t Size() const { return size_; }

private:
    FileStatus LoadOnce(const char* path);

    char* data_ = nullptr;
    std::size_t size_ = 0, capacity_ = 0;
};

// Makes path a new file (never over an existing one) holding size bytes,
// with the last-write time of timeFrom where one is given, and flushes it.
bool WriteNew(const char* path, const char* data, std::size_t size, const char* timeFrom = nullptr);
bool Flush(const char* path);
// Whether something is at path: Done, Missing, or why it could not be told.
FileStatus Probe(const char* path);
// The file's guarding attributes (0 where there is no file), and setting
// them, tried again while held.
FileStatus ReadGuarding(const char* path, unsigned& guarding);
FileStatus SetGuarding(const char* path, unsigned guarding);
// Removes a file; true when it is gone (or was never there).
bool Remove(const char* path);
// Renames the complete file temp over target, which keeps its read-only
// and hidden attributes where keepGuarding asks for it.
FileStatus Replace(const char* temp, const char* target, bool keepGuarding);
// Puts the complete file temp in place of target, as Replace does. Where
// the rename is refused (as UAC file virtualization may refuse it) and the
// caller has kept target's old bytes, complete and flushed, in its backup,
// temp is copied over target instead, and flushed. False where target may
// have changed all the same.
bool SwapIn(const char* temp, const char* target, bool backedUp);
}  // namespace file_steps

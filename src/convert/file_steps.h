// The file steps of saving the new settings files. Each asks the test seam
// first. Those that another program's hold can refuse (an editor, an
// indexer, a virus scanner) are tried again for about a second, with
// growing pauses, as Git for Windows does for its renames and deletions;
// so is a read-only attribute in the way, which is cleared and set again.
#pragma once
#include <cstddef>

#include "convert/step_fault.h"
#include "platform/files.h"
#include "text/strbuf.h"

namespace file_steps {
constexpr int kBusyPausesMs[] = {50, 100, 150, 300, 400};

// What another program's hold gives: a sharing violation, or access
// denied where a rename meets a held file.
inline bool IsHeld(FileStatus status) { return status == FileStatus::Busy || status == FileStatus::Denied; }
inline bool IsBusy(FileStatus status) { return status == FileStatus::Busy; }

// One try of a file operation, unless a test makes it fail. A copy into
// copyTarget that fails other than by a hold (which stops it before it
// starts) leaves that file cut short, as a full disk may.
template <typename Op>
FileStatus Try(Op op, const char* copyTarget) {
    FileStatus injected;
    if (!step_fault::TryFails(injected)) return op();
    if (copyTarget && injected != FileStatus::Busy) step_fault::CutShort(copyTarget);
    return injected;
}

// Tries attempt again while held(status). The wait is bounded and silent.
template <typename Attempt>
FileStatus RepeatWhile(bool (*held)(FileStatus), Attempt attempt) {
    FileStatus status = attempt();
    for (int pause : kBusyPausesMs) {
        if (!held(status)) break;
        PauseMs(pause);
        status = attempt();
    }
    return status;
}

// A file operation that a test may fail, tried again while it is held.
template <typename Op>
FileStatus Retrying(Op op, const char* copyTarget = nullptr, bool (*held)(FileStatus) = IsHeld) {
    return RepeatWhile(held, [&] { return Try(op, copyTarget); });
}

// Runs op on target with its read-only (and hidden and system) attributes
// cleared, as Windows will not replace, copy over or delete such a file,
// and sets them again on whatever file then has that name: a replacement
// keeps them.
template <typename Op>
FileStatus OnWritable(const char* target, Op op) {
    const unsigned guarding = GuardingAttributes(target);
    if (guarding && !SetGuardingAttributes(target, 0)) return LastFileStatus();
    const FileStatus status = op();
    if (guarding && FileExists(target)) SetGuardingAttributes(target, guarding);
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
    // write it meanwhile, and tries again while it is held. False on any
    // other error: a short copy is no copy.
    bool Load(const char* path);
    bool Equals(const FileBytes& other) const;
    const char* Data() const { return data_; }
    std::size_t Size() const { return size_; }

private:
    FileStatus LoadOnce(const char* path);
    bool Grow();

    char* data_ = nullptr;
    std::size_t size_ = 0, capacity_ = 0;
};

// Whether both files can be read whole and hold the same bytes.
bool SameBytes(const char* path, const char* other);

// Makes a new file at the first free name among folder + name, then
// name1, name2, ..., never over an existing file, and writes size bytes
// into it. path gets the name, also when writing failed afterwards.
bool WriteTempFile(const StrBuf& folder, const char* name, const char* data, std::size_t size, StrBuf& path);
// Flushes a finished file to the disk before it is renamed in.
bool Flush(const char* path);
// Removes a file of this run; true when it is gone.
bool Remove(const char* path);
// Removes a file this run made, unless the name is empty. No test fails
// it, so a test's check of every file in the folder stays exact.
void RemoveOwn(const char* path);
FileStatus CopyOver(const char* from, const char* to);
// Copies from to a new file, never over an existing one; the copy is
// left writable and visible. A copy that stopped part-way is removed.
FileStatus CopyNew(const char* from, const char* to);
// Copies from to folder + name + n, where n is one above the highest
// number in use for that name (gaps stay gaps, and numbers have no upper
// limit), so the newest numbered copy always has the highest number. The
// copy is flushed to the disk.
bool CopyToNextNumber(const char* from, const StrBuf& folder, const char* name, StrBuf& copy);

enum class Swap {
    Done,
    Unchanged,  // failed before target was touched
    Damaged,    // failed while copying over target, which may be half-written
};

// Puts the complete file temp in place of target by a rename. Where the
// rename is refused (as UAC file virtualization may refuse it), temp is
// copied over target instead, and flushed; the caller has kept target's
// old bytes in a backup, as a copy can stop half-way. A copy that a hold
// refused never opened target, which is then unchanged.
Swap SwapIn(const char* temp, const char* target);
}  // namespace file_steps

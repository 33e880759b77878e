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
    if (copyTarget && step_fault::CopiesLocked()) {
        step_fault::CutShort(copyTarget);
        return FileStatus::Busy;
    }
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
    if (guarding && ProbeFile(target) == FileStatus::Done) SetGuardingAttributes(target, guarding);
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
    // Whether the last Load failed for want of memory, which says nothing
    // of the file.
    bool OutOfMemory() const { return outOfMemory_; }
    bool Equals(const FileBytes& other) const;
    const char* Data() const { return data_; }
    std::size_t Size() const { return size_; }

private:
    FileStatus LoadOnce(const char* path);
    bool Grow();

    char* data_ = nullptr;
    std::size_t size_ = 0, capacity_ = 0;
    bool outOfMemory_ = false;
};

// A temporary file of this program carries its mark and its process in its
// name: folder + stem + ".vaxuconv-<process>.tmp", or "-<process>-<n>.tmp"
// where that name is taken. So a later run knows it for the leftover of a
// run that was cut or killed, and not a user's file.
constexpr char kTempMark[] = ".vaxuconv-";
// Makes a new temporary file of stem, never over an existing file, writes
// size bytes into it and flushes it. path gets the name before the file
// is made, so that a file made is always known, also when writing failed.
bool WriteTempFile(const StrBuf& folder, const char* stem, const char* data, std::size_t size, StrBuf& path);
// Whether a run that no longer runs left a temporary file of stem.
bool HasLeftovers(const StrBuf& folder, const char* stem);
// Removes the temporary files of stem left by runs that no longer run;
// those of another copy still running stay, and so does every file
// without the mark.
void RemoveLeftovers(const StrBuf& folder, const char* stem);
// Whether both files can be read whole and hold the same bytes.
bool SameBytes(const char* path, const char* other);
// Flushes a finished file to the disk before it is renamed in.
bool Flush(const char* path);
// Removes a file of this run; true when it is gone.
bool Remove(const char* path);
// Removes a file this run made, unless the name is empty. No test fails
// it, so a test's check of every file in the folder stays exact.
void RemoveOwn(const char* path);
// Copies from to the free name to, never over an existing file (Exists,
// and to is untouched), with from's last-write time: a complete, flushed
// temporary file of stem renamed in, so that to is never seen half-made;
// where renames are refused, the bytes written into a new file to and
// flushed, and only then the temporary file removed: while it is left, to
// may be unfinished. The copy is writable and visible. Only a file made
// here is removed when the copy fails.
FileStatus CopyNew(const StrBuf& folder, const char* stem, const char* from, const char* to);
// Makes the free name to an empty file, the way CopyNew makes a copy.
FileStatus MakeEmptyNew(const StrBuf& folder, const char* stem, const char* to);
// Keeps bytes, the content of from, under folder + name + n, where n is
// one above the highest number in use for that name (gaps stay gaps, and
// numbers have no upper limit), so the newest numbered copy always has the
// highest number. Where the highest one already holds these bytes (a run
// cut after making it), that one is the copy and made stays false.
bool CopyToNextNumber(const char* from, const FileBytes& bytes, const StrBuf& folder, const char* stem,
                      const char* name, StrBuf& copy, bool& made);

enum class Swap {
    Done,
    Unchanged,  // failed before target was touched
    Held,       // another program's hold refused it; target untouched
    Damaged,    // failed while copying over target, which may be half-written
};

// Puts the complete file temp in place of target by a rename. Where the
// rename is refused (as UAC file virtualization may refuse it), temp is
// copied over target instead, and flushed; the caller has kept target's
// old bytes in a backup, as a copy can stop half-way. A copy that a hold
// refused never opened target, which is then unchanged.
Swap SwapIn(const char* temp, const char* target);
// Puts the bytes of from in place of to, the way a save puts a file in: a
// complete, flushed temporary file of stem swapped in, and to then gets
// from's last-write time, as a copy does, and exactly the attributes
// guarding.
Swap PutInPlace(const StrBuf& folder, const char* stem, const char* from, const char* to, unsigned guarding);
}  // namespace file_steps

// The file steps of saving the new settings files. Each asks the test seam
// first. Those that another program's hold can refuse (an editor, an
// indexer, a virus scanner) are tried again for about a second, with
// growing pauses, as Git for Windows does for its renames and deletions.
#pragma once
#include <cstddef>

#include "convert/step_fault.h"
#include "platform/files.h"
#include "text/strbuf.h"

namespace file_steps {
constexpr int kBusyPausesMs[] = {50, 100, 150, 300, 400};

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

// Tries op again while a file is held. The wait is bounded and silent.
template <typename Op>
FileStatus Retrying(Op op, const char* copyTarget = nullptr) {
    FileStatus status = Try(op, copyTarget);
    for (int pause : kBusyPausesMs) {
        if (status != FileStatus::Busy) break;
        PauseMs(pause);
        status = Try(op, copyTarget);
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

// Writes size bytes to a new file at path and flushes them to the disk.
bool WriteNewFile(const char* path, const char* data, std::size_t size);
FileStatus Delete(const char* path);
FileStatus CopyOver(const char* from, const char* to);
// Copies from to the first free name among base followed by first,
// first + 1, ... (nothing appended for 0); never over an existing file.
bool CopyToFreeName(const char* from, const StrBuf& base, int first, StrBuf& name);

enum class Swap {
    Done,
    Unchanged,  // failed before target was touched
    Damaged,    // failed while copying over target, which may be half-written
};

// Puts the complete file temp in place of target by a rename. Where the
// rename is refused (as UAC file virtualization may refuse it), temp is
// copied over target instead, but only once keepOld() has put target's
// old bytes on disk under a name of their own: a copy can stop half-way.
template <typename Keep>
Swap SwapIn(const char* temp, const char* target, Keep keepOld) {
    const FileStatus moved = Retrying([&] {
        FileStatus forced;
        return step_fault::ForcedRename(forced) ? forced : ReplaceFileWith(temp, target);
    });
    if (moved == FileStatus::Done) return Swap::Done;
    if (moved == FileStatus::Missing || !keepOld()) return Swap::Unchanged;
    return CopyOver(temp, target) == FileStatus::Done ? Swap::Done : Swap::Damaged;
}
}  // namespace file_steps

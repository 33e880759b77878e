#include "convert/file_steps.h"

#include <cstdint>

#include "text/memory.h"

namespace file_steps {
namespace {
// A file operation that a test may fail, tried again while it is held.
template <typename Op>
FileStatus Retrying(Op op, bool attribute = false) {
    return RepeatWhile(IsHeld, [&] {
        FileStatus injected;
        return step_fault::TryFails(injected, attribute) ? injected : op();
    });
}

// The largest file one read (an int count, and one byte more) can take.
constexpr std::uint64_t kLargestFile = 0x7FFFFFFE;

// Runs op on target with its read-only (and hidden and system) attributes
// cleared, as Windows will not replace, copy over or delete such a file.
// They are set again on whatever file then has that name, where keep asks
// for it or op failed; a kill in between leaves them cleared.
template <typename Op>
FileStatus OnWritable(const char* target, bool keep, Op op) {
    unsigned guarding = 0;
    FileStatus status = ReadGuarding(target, guarding);
    if (status == FileStatus::Done && guarding) status = SetGuarding(target, 0);
    if (status != FileStatus::Done) return status;
    status = op();
    if (guarding && (keep || status != FileStatus::Done)) SetGuarding(target, guarding);
    return status;
}
}  // namespace

FileBytes::~FileBytes() { MemFree(data_, capacity_); }

bool FileBytes::Load(const char* path) { return Retrying([&] { return LoadOnce(path); }) == FileStatus::Done; }

// A size that cannot be read, or that is too large to hold, is no size.
// The file is whole only where as many bytes as its size were read: one
// that another program made shorter or longer meanwhile (an editor saving
// in place truncates it first) is read again.
FileStatus FileBytes::LoadOnce(const char* path) {
    FileObj file;
    FileStatus failed;
    if (!file.OpenShared(path)) return LastFileStatus();
    const std::uint64_t size = Step() ? file.GetSize() : FileObj::kUnknownSize;
    if (size > kLargestFile) return FileStatus::Refused;
    MemFree(data_, capacity_);
    size_ = 0;
    capacity_ = size + 1;  // one more: what a file that grew meanwhile fills
    data_ = static_cast<char*>(MemAlloc(capacity_));
    if (!data_) return FileStatus::Refused;  // capacity_ stays: MemFree ignores a null block
    for (int got = 1; got > 0; size_ += got) {
        if (step_fault::TryFails(failed)) return failed;
        got = file.Read(data_ + size_, static_cast<int>(capacity_ - size_));
        if (got < 0) return LastFileStatus();
    }
    return size_ == size ? FileStatus::Done : FileStatus::Busy;
}

bool WriteNew(const char* path, const char* data, std::size_t size, const char* timeFrom) {
    FileObj file;
    // A name being deleted answers access denied.
    const FileStatus made = Retrying([&] { return file.CreateNew(path) ? FileStatus::Done : LastFileStatus(); });
    if (made != FileStatus::Done) return false;  // another file's name: left alone
    const bool written = Step() && file.Write(data, static_cast<int>(size));
    if (written && timeFrom) file.TakeWriteTime(timeFrom);
    return written && Step() && file.Flush();
}

bool Flush(const char* path) {
    return Retrying([&] { return FlushFileAt(path); }) == FileStatus::Done;
}

FileStatus Probe(const char* path) {
    return Retrying([&] { return ProbeFile(path); });
}

FileStatus ReadGuarding(const char* path, unsigned& guarding) {
    if (!Step()) return FileStatus::Refused;
    guarding = GuardingAttributes(path);
    return FileStatus::Done;
}

FileStatus SetGuarding(const char* path, unsigned guarding) {
    return Retrying([&] { return SetGuardingAttributes(path, guarding) ? FileStatus::Done : LastFileStatus(); }, true);
}

bool Remove(const char* path) {
    const FileStatus removed = OnWritable(path, false, [&] { return Retrying([&] { return DeleteFileAt(path); }); });
    return removed == FileStatus::Done || removed == FileStatus::Missing;
}

FileStatus Replace(const char* temp, const char* target, bool keepGuarding) {
    return OnWritable(target, keepGuarding, [&] { return Retrying([&] { return ReplaceFileWith(temp, target); }); });
}

bool SwapIn(const char* temp, const char* target, bool backedUp) {
    if (!step_fault::RenamesRefused() && Replace(temp, target, true) == FileStatus::Done) return true;
    // Data written in place may reach the disk before the renames made so
    // far, such as the one that put target's backup in: a flush commits
    // them first. The copy is flushed before a read-only attribute is set
    // again: Windows would refuse the write access that flushing needs.
    if (!backedUp || !Flush(temp)) return false;
    step_fault::Trace("copy in place");
    const FileStatus copied = OnWritable(target, true, [&] {
        const FileStatus copy = Retrying([&] { return CopyFileOver(temp, target); });
        return copy == FileStatus::Done ? Retrying([&] { return FlushFileAt(target); }) : copy;
    });
    return copied == FileStatus::Done;
}
}  // namespace file_steps

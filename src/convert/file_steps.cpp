#include "convert/file_steps.h"

#include <cstring>

#include "text/memory.h"

namespace file_steps {
namespace {
constexpr std::size_t kReadBlock = 4096;
constexpr int kWriteBlock = 1 << 16;
constexpr int kMostTempNames = 1000;

FileStatus StatusOf(bool done) { return done ? FileStatus::Done : LastFileStatus(); }

// Makes a new file at the first free name; path stays empty unless this
// run made the file.
bool CreateAtFreeName(const StrBuf& folder, const char* name, FileObj& file, StrBuf& path) {
    StrBuf candidate;
    for (int n = 0; n < kMostTempNames; ++n) {
        const bool named = n == 0 ? candidate.Format("%s%s", folder.Text(), name)
                                  : candidate.Format("%s%s%d", folder.Text(), name, n);
        if (!named) return false;
        if (FileExists(candidate.Text())) continue;
        const FileStatus made = Retrying([&] { return StatusOf(file.CreateNew(candidate.Text())); }, nullptr, IsBusy);
        if (made == FileStatus::Exists) continue;  // taken since the look
        return made == FileStatus::Done && path.Assign(candidate);
    }
    return false;
}

// The highest number among the names prefix + digits that a search
// lists, as a digit string, so that no number is too high.
struct Numbering {
    static constexpr int kMostDigits = 240;  // longer names do not fit a path anyway
    const char* prefix;
    char highest[kMostDigits + 2] = "0";
    std::size_t length = 1;
    bool tooLong = false;

    // Makes highest one higher; it may gain a digit.
    void Increment() {
        std::size_t i = length;
        while (i > 0 && highest[i - 1] == '9') highest[--i] = '0';
        if (i > 0) {
            ++highest[i - 1];
            return;
        }
        std::memmove(highest + 1, highest, length + 1);
        highest[0] = '1';
        ++length;
    }
};

void NoteNumber(const char* name, void* context) {
    Numbering& numbering = *static_cast<Numbering*>(context);
    // The search lists only names that start with the prefix, in any case.
    const std::size_t prefix = std::strlen(numbering.prefix);
    if (std::strlen(name) <= prefix) return;
    const char* digits = name + prefix;
    for (const char* d = digits; *d; ++d) {
        if (*d < '0' || *d > '9') return;  // another name: not a numbered copy
    }
    while (digits[0] == '0' && digits[1]) ++digits;
    const std::size_t length = std::strlen(digits);
    if (length > Numbering::kMostDigits) {
        numbering.tooLong = true;
    } else if (length > numbering.length ||
               (length == numbering.length && std::memcmp(digits, numbering.highest, length) > 0)) {
        std::memcpy(numbering.highest, digits, length + 1);
        numbering.length = length;
    }
}
}  // namespace

FileBytes::~FileBytes() { MemFree(data_, capacity_); }

bool FileBytes::Load(const char* path) {
    return Retrying([&] { return LoadOnce(path); }) == FileStatus::Done;
}

FileStatus FileBytes::LoadOnce(const char* path) {
    size_ = 0;
    FileObj file;
    if (step_fault::ReadFails()) return FileStatus::Refused;
    if (!file.OpenShared(path)) return LastFileStatus();
    for (;;) {
        if (capacity_ - size_ < kReadBlock && !Grow()) return FileStatus::Refused;
        if (step_fault::ReadFails()) return FileStatus::Refused;
        const int got = file.Read(data_ + size_, kReadBlock);
        if (got < 0) return LastFileStatus();
        if (got == 0) return FileStatus::Done;
        size_ += got;
    }
}

bool FileBytes::Equals(const FileBytes& other) const {
    return size_ == other.size_ && (size_ == 0 || std::memcmp(data_, other.data_, size_) == 0);
}

bool FileBytes::Grow() {
    const std::size_t capacity = capacity_ ? capacity_ * 2 : kReadBlock * 2;
    char* data = static_cast<char*>(MemAlloc(capacity));
    if (!data) return false;
    if (size_) std::memcpy(data, data_, size_);
    MemFree(data_, capacity_);
    data_ = data;
    capacity_ = capacity;
    return true;
}

bool SameBytes(const char* path, const char* other) {
    FileBytes a, b;
    return a.Load(path) && b.Load(other) && a.Equals(b);
}

bool WriteTempFile(const StrBuf& folder, const char* name, const char* data, std::size_t size, StrBuf& path) {
    FileObj file;
    if (!CreateAtFreeName(folder, name, file, path)) return false;
    for (std::size_t at = 0; at < size;) {
        const int chunk = size - at > kWriteBlock ? kWriteBlock : static_cast<int>(size - at);
        if (!Step() || !file.Write(data + at, chunk)) return false;
        at += chunk;
    }
    step_fault::Trace("flush", path.Text());
    return Step() && file.Flush();
}

bool Flush(const char* path) {
    step_fault::Trace("flush", path);
    return Retrying([&] { return FlushFileAt(path); }) == FileStatus::Done;
}

bool Remove(const char* path) {
    const FileStatus removed = OnWritable(path, [&] { return Retrying([&] { return DeleteFileAt(path); }); });
    return removed == FileStatus::Done || removed == FileStatus::Missing;
}

void RemoveOwn(const char* path) {
    if (!path || !*path) return;
    OnWritable(path, [&] { return RepeatWhile(IsHeld, [&] { return DeleteFileAt(path); }); });
}

FileStatus CopyOver(const char* from, const char* to) {
    return OnWritable(to, [&] { return Retrying([&] { return CopyFileOver(from, to); }, to); });
}

FileStatus CopyNew(const char* from, const char* to) {
    const FileStatus copied = Retrying([&] { return CopyFileNew(from, to); }, to);
    if (copied == FileStatus::Done) {
        SetGuardingAttributes(to, 0);
    } else if (copied != FileStatus::Exists) {
        RemoveOwn(to);  // the name was free: what is there is a copy that stopped part-way
    }
    return copied;
}

bool CopyToNextNumber(const char* from, const StrBuf& folder, const char* name, StrBuf& copy) {
    Numbering numbering;
    numbering.prefix = name;
    StrBuf pattern;
    if (!pattern.Format("%s%s*", folder.Text(), name) || !ForEachName(pattern.Text(), NoteNumber, &numbering) ||
        numbering.tooLong)
        return false;
    numbering.Increment();
    if (copy.Format("%s%s%s", folder.Text(), name, numbering.highest) && !FileExists(copy.Text()) &&
        CopyNew(from, copy.Text()) == FileStatus::Done) {
        if (Flush(copy.Text())) return true;
        RemoveOwn(copy.Text());
    }
    copy.Wipe();
    return false;
}

Swap SwapIn(const char* temp, const char* target) {
    const FileStatus moved = OnWritable(target, [&] {
        return Retrying([&] {
            FileStatus forced;
            step_fault::Trace("rename", temp);
            return step_fault::ForcedRename(forced) ? forced : ReplaceFileWith(temp, target);
        });
    });
    if (moved == FileStatus::Done) return Swap::Done;
    if (moved == FileStatus::Missing) return Swap::Unchanged;
    // Flushed before a read-only attribute is set again: Windows would
    // refuse the write access that flushing needs.
    bool copied = false;
    const FileStatus status = OnWritable(target, [&] {
        const FileStatus copy = Retrying([&] { return CopyFileOver(temp, target); }, target);
        copied = copy == FileStatus::Done;
        return copied ? Retrying([&] { return FlushFileAt(target); }) : copy;
    });
    if (status == FileStatus::Done) return Swap::Done;
    return copied || !IsHeld(status) ? Swap::Damaged : Swap::Unchanged;  // a held target was never opened
}
}  // namespace file_steps

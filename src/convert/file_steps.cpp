#include "convert/file_steps.h"

#include <cstdlib>
#include <cstring>

#include "text/memory.h"

namespace file_steps {
namespace {
constexpr std::size_t kReadBlock = 4096;
constexpr int kWriteBlock = 1 << 16;
constexpr int kMostTempNames = 1000;

FileStatus StatusOf(bool done) { return done ? FileStatus::Done : LastFileStatus(); }

// Makes a new temporary file at the first free name, which path holds
// before the file is made; path is left empty unless this run made it. A
// name taken is found by the creation itself, never by a look first.
bool CreateAtFreeName(const StrBuf& folder, const char* stem, FileObj& file, StrBuf& path) {
    const unsigned long process = CurrentProcessId();
    for (int n = 0; n < kMostTempNames; ++n) {
        const bool named = n == 0 ? path.Format("%s%s%s%lu.tmp", folder.Text(), stem, kTempMark, process)
                                  : path.Format("%s%s%s%lu-%d.tmp", folder.Text(), stem, kTempMark, process, n);
        if (!named) break;
        const FileStatus made = Retrying([&] { return StatusOf(file.CreateNew(path.Text())); }, nullptr, IsBusy);
        if (made == FileStatus::Done) return true;
        // A name still taken by a file being deleted answers access denied.
        if (made != FileStatus::Exists && made != FileStatus::Denied) break;
    }
    path.Wipe();
    return false;
}

// Writes size bytes into the new file at path, then flushes it to the disk.
bool WriteAndFlush(FileObj& file, const char* data, std::size_t size, const char* path) {
    for (std::size_t at = 0; at < size;) {
        const int chunk = size - at > kWriteBlock ? kWriteBlock : static_cast<int>(size - at);
        if (!Step() || !file.Write(data + at, chunk)) return false;
        at += chunk;
    }
    step_fault::Trace("flush", path);
    return Step() && file.Flush();
}

// Writes bytes into the new file at path, with the last-write time of
// timeFrom where there is one (a copy without it is still a copy), and
// flushes it.
bool WriteCopy(FileObj& file, const FileBytes& bytes, const char* timeFrom, const char* path) {
    const bool written = WriteAndFlush(file, bytes.Data(), bytes.Size(), path);
    if (timeFrom) file.TakeWriteTime(timeFrom);
    return written;
}

// Where renames are refused: the bytes written straight into a new file.
FileStatus WriteNew(const FileBytes& bytes, const char* timeFrom, const char* to) {
    FileObj file;
    const FileStatus made = Retrying([&] { return StatusOf(file.CreateNew(to)); }, nullptr, IsBusy);
    if (made != FileStatus::Done) return made;  // another file's name: left alone
    const bool copied = WriteCopy(file, bytes, timeFrom, to);
    file.Close();
    if (copied) return FileStatus::Done;
    RemoveOwn(to);
    return FileStatus::Refused;
}

FileStatus CopyBytesNew(const StrBuf& folder, const char* stem, const FileBytes& bytes, const char* timeFrom,
                        const char* to) {
    FileObj file;
    StrBuf temp;
    if (!CreateAtFreeName(folder, stem, file, temp)) return FileStatus::Refused;
    if (!WriteCopy(file, bytes, timeFrom, temp.Text())) {
        file.Close();
        RemoveOwn(temp.Text());
        return FileStatus::Refused;
    }
    file.Close();
    const FileStatus moved = Retrying([&] {
        FileStatus forced;
        step_fault::Trace("move", temp.Text());
        return step_fault::ForcedRename(forced) ? forced : MoveFileNew(temp.Text(), to);
    });
    if (moved == FileStatus::Done) step_fault::Trace("kept", to);
    if (moved == FileStatus::Done || moved == FileStatus::Exists) {
        RemoveOwn(temp.Text());
        return moved;
    }
    // Written in place, to may be cut short by a power cut; the temporary
    // file outlives it until it is complete, so that a later run can tell.
    const FileStatus written = WriteNew(bytes, timeFrom, to);
    if (written != FileStatus::Done && written != FileStatus::Exists && ProbeFile(to) != FileStatus::Missing)
        return written;  // a part-made to that could not be removed stays marked
    RemoveOwn(temp.Text());
    if (written == FileStatus::Done && ProbeFile(temp.Text()) != FileStatus::Missing) {
        RemoveOwn(to);  // still marked: a later run would make it again
        return FileStatus::Refused;
    }
    return written;
}

// A temporary file's name after stem: the mark, then the process, then an
// optional "-<n>", then ".tmp". Leftovers of runs no longer running are
// found, and removed where asked.
struct Leftovers {
    const StrBuf* folder;
    const char* stem;
    unsigned long self;
    bool remove;
    bool found = false;
};

bool SkipDigits(const char*& at) {
    const char* start = at;
    while (*at >= '0' && *at <= '9') ++at;
    return at > start;
}

void VisitLeftover(const char* name, void* context) {
    Leftovers& l = *static_cast<Leftovers*>(context);
    const std::size_t stem = std::strlen(l.stem), mark = std::strlen(kTempMark);
    if (std::strncmp(name, l.stem, stem) != 0 || std::strncmp(name + stem, kTempMark, mark) != 0) return;
    const char* at = name + stem + mark;
    const char* digits = at;
    if (!SkipDigits(at) || at - digits > 10) return;
    if (*at == '-' && !SkipDigits(++at)) return;
    if (std::strcmp(at, ".tmp") != 0) return;
    const unsigned long process = std::strtoul(digits, nullptr, 10);
    if (process != l.self && ProcessRunning(process)) return;  // another copy, still at work
    l.found = true;
    StrBuf path;
    if (l.remove && path.Format("%s%s", l.folder->Text(), name)) RemoveOwn(path.Text());
}

bool VisitLeftovers(const StrBuf& folder, const char* stem, bool remove) {
    Leftovers leftovers = {&folder, stem, CurrentProcessId(), remove};
    StrBuf pattern;
    if (pattern.Format("%s%s%s*", folder.Text(), stem, kTempMark))
        ForEachName(pattern.Text(), VisitLeftover, &leftovers);
    return leftovers.found;
}

// The highest number among the names prefix + digits that a search
// lists, as a digit string, so that no number is too high; spelled is
// the name's own digits, leading zeros included, where they fit.
struct Numbering {
    static constexpr int kMostDigits = 240;  // longer names do not fit a path anyway
    const char* prefix;
    char highest[kMostDigits + 2] = "0";
    char spelled[kMostDigits + 2] = "";
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
    const char* spelled = digits;
    while (digits[0] == '0' && digits[1]) ++digits;
    const std::size_t length = std::strlen(digits);
    if (length > Numbering::kMostDigits) {
        numbering.tooLong = true;
    } else if (length > numbering.length ||
               (length == numbering.length && std::memcmp(digits, numbering.highest, length) > 0)) {
        std::memcpy(numbering.highest, digits, length + 1);
        numbering.length = length;
        std::size_t written = std::strlen(spelled);
        if (written > Numbering::kMostDigits) written = 0;
        std::memcpy(numbering.spelled, spelled, written);
        numbering.spelled[written] = '\0';
    }
}
}  // namespace

FileBytes::~FileBytes() { MemFree(data_, capacity_); }

bool FileBytes::Load(const char* path) {
    outOfMemory_ = false;
    return Retrying([&] { return LoadOnce(path); }) == FileStatus::Done;
}

FileStatus FileBytes::LoadOnce(const char* path) {
    size_ = 0;
    FileObj file;
    if (step_fault::ReadFails()) return FileStatus::Refused;
    if (!file.OpenShared(path)) return LastFileStatus();
    for (;;) {
        if (capacity_ - size_ < kReadBlock && !Grow()) {
            outOfMemory_ = true;
            return FileStatus::Refused;
        }
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

bool WriteTempFile(const StrBuf& folder, const char* stem, const char* data, std::size_t size, StrBuf& path) {
    FileObj file;
    return CreateAtFreeName(folder, stem, file, path) && WriteAndFlush(file, data, size, path.Text());
}

bool HasLeftovers(const StrBuf& folder, const char* stem) { return VisitLeftovers(folder, stem, false); }

void RemoveLeftovers(const StrBuf& folder, const char* stem) { VisitLeftovers(folder, stem, true); }

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

FileStatus CopyNew(const StrBuf& folder, const char* stem, const char* from, const char* to) {
    FileBytes bytes;
    return bytes.Load(from) ? CopyBytesNew(folder, stem, bytes, from, to) : FileStatus::Refused;
}

FileStatus MakeEmptyNew(const StrBuf& folder, const char* stem, const char* to) {
    const FileBytes nothing;
    return CopyBytesNew(folder, stem, nothing, nullptr, to);
}

bool CopyToNextNumber(const char* from, const FileBytes& bytes, const StrBuf& folder, const char* stem,
                      const char* name, StrBuf& copy, bool& made) {
    made = false;
    Numbering numbering;
    numbering.prefix = name;
    StrBuf pattern;
    if (!pattern.Format("%s%s*", folder.Text(), name) || !ForEachName(pattern.Text(), NoteNumber, &numbering) ||
        numbering.tooLong)
        return false;
    FileBytes highest;
    if (numbering.spelled[0] && copy.Format("%s%s%s", folder.Text(), name, numbering.spelled) &&
        highest.Load(copy.Text()) && highest.Equals(bytes))
        return true;
    numbering.Increment();
    made = copy.Format("%s%s%s", folder.Text(), name, numbering.highest) &&
           CopyBytesNew(folder, stem, bytes, from, copy.Text()) == FileStatus::Done;
    if (!made) copy.Wipe();
    return made;
}

Swap PutInPlace(const StrBuf& folder, const char* stem, const char* from, const char* to, unsigned guarding) {
    FileBytes bytes;
    FileObj file;
    StrBuf temp;
    Swap put = Swap::Unchanged;
    if (bytes.Load(from) && CreateAtFreeName(folder, stem, file, temp) && WriteCopy(file, bytes, from, temp.Text())) {
        file.Close();
        put = SwapIn(temp.Text(), to);
    }
    file.Close();
    RemoveOwn(temp.Text());
    if (put == Swap::Done && !SetGuardingAttributes(to, guarding)) put = Swap::Damaged;
    return put;
}

Swap SwapIn(const char* temp, const char* target) {
    step_fault::Trace("swap", target);
    const FileStatus moved = OnWritable(target, [&] {
        return Retrying([&] {
            FileStatus forced;
            step_fault::Trace("rename", temp);
            return step_fault::ForcedRename(forced) ? forced : ReplaceFileWith(temp, target);
        });
    });
    if (moved == FileStatus::Done) return Swap::Done;
    if (moved == FileStatus::Missing) return Swap::Unchanged;
    // Data written in place may reach the disk before the renames made so
    // far, such as the one that put target's backup in: a flush commits
    // them first. The copy is flushed before a read-only attribute is set
    // again: Windows would refuse the write access that flushing needs.
    if (!Flush(temp)) return Swap::Unchanged;
    step_fault::Trace("copy in place", target);
    bool copied = false;
    const FileStatus status = OnWritable(target, [&] {
        const FileStatus copy = Retrying([&] { return CopyFileOver(temp, target); }, target);
        copied = copy == FileStatus::Done;
        return copied ? Retrying([&] { return FlushFileAt(target); }) : copy;
    });
    if (status == FileStatus::Done) return Swap::Done;
    return copied || !IsHeld(status) ? Swap::Damaged : Swap::Held;  // a held target was never opened
}
}  // namespace file_steps

#include "convert/file_steps.h"

#include <cstring>

#include "text/memory.h"

namespace file_steps {
namespace {
constexpr std::size_t kReadBlock = 4096;
constexpr int kWriteBlock = 1 << 16;
constexpr int kMostNumberedNames = 9999;
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

bool WriteNewFile(const char* path, const char* data, std::size_t size) {
    FileObj file;
    if (Retrying([&] { return file.Open(path, true, true) ? FileStatus::Done : LastFileStatus(); }) !=
        FileStatus::Done)
        return false;
    for (std::size_t at = 0; at < size;) {
        const int chunk = size - at > kWriteBlock ? kWriteBlock : static_cast<int>(size - at);
        if (!Step() || !file.Write(data + at, chunk)) return false;
        at += chunk;
    }
    return Step() && file.Flush();
}

FileStatus Delete(const char* path) {
    return Retrying([&] { return DeleteFileAt(path); });
}

FileStatus CopyOver(const char* from, const char* to) {
    return Retrying([&] { return CopyFileOver(from, to); }, to);
}

bool CopyToFreeName(const char* from, const StrBuf& base, int first, StrBuf& name) {
    for (int n = first; n <= kMostNumberedNames; ++n) {
        if (!(n == 0 ? name.Assign(base) : name.Format("%s%d", base.Text(), n))) return false;
        if (FileExists(name.Text())) continue;
        if (Retrying([&] { return CopyFileNew(from, name.Text()); }, name.Text()) == FileStatus::Done) return true;
        DeleteFileAt(name.Text());  // the name was free: what is there is a copy that stopped half-way
        return false;
    }
    return false;
}
}  // namespace file_steps

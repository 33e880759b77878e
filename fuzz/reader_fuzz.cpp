// Feeds arbitrary bytes through the legacy reader, as if they were a
// path.txt, and checks what it builds. The first byte, when it is 0xA5,
// also makes one allocation fail (chosen by the second byte).
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "convert/legacy_reader.h"
#include "text/memory.h"

namespace {
// A FileObj that reads from memory in short, uneven pieces.
class BytesFile : public FileObj {
public:
    BytesFile(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    int Read(void* buffer, int count) override {
        size_t left = size_ - at_;
        size_t n = left < static_cast<size_t>(count) ? left : static_cast<size_t>(count);
        std::memcpy(buffer, data_ + at_, n);
        at_ += n;
        return static_cast<int>(n);
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

void Check(bool condition) {
    if (!condition) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    long failAt = 0;
    if (size >= 2 && data[0] == 0xA5) {
        failAt = data[1] + 1;
        data += 2;
        size -= 2;
    }
    LegacySettings settings;
    CommandList commands;
    BytesFile file(data, size);
    alloc_fault::Arm(failAt);
    bool ok = ReadLegacySettings(file, settings, commands) == LegacyRead::Complete;
    bool injected = alloc_fault::Injected();
    alloc_fault::Disarm();
    Check(ok || injected);  // only memory exhaustion fails a read
    for (int i = 0; i < commands.Count() - (ok ? 0 : 1); ++i) {
        const CommandEntry& e = commands[i];
        // Every complete entry has a name and a path (which the removed
        // brackets may have left empty), and no line end.
        Check(!e.name.IsEmpty() && e.path.HasStorage());
        Check(!std::strpbrk(e.name.Text(), "\r\n") && !std::strpbrk(e.path.Text(), "\r\n"));
        Check(!e.folder.HasStorage() || !std::strpbrk(e.folder.Text(), "\r\n"));
    }
    return 0;
}

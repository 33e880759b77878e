#include "text/strbuf.h"

#include <cstdarg>
#include <cstring>

#include "platform/ansi_text.h"
#include "text/memory.h"

namespace {
// Largest capacity a buffer may take; keeps every size in a signed int.
constexpr int kMaxCapacity = 1 << 30;

// The smallest power of two of at least 16 that is greater than n, or 0.
int CapacityFor(int n) {
    if (n < 0) n = 0;
    int cap = 16;
    while (cap <= n) {
        if (cap >= kMaxCapacity) return 0;
        cap *= 2;
    }
    return cap;
}

// Continuation position of the process-wide tokenizer.
int g_tokenPos = 0;
}  // namespace

StrBuf::StrBuf(StrBuf&& other) noexcept : data_(other.data_), capacity_(other.capacity_) {
    other.data_ = nullptr;
    other.capacity_ = 0;
}

void StrBuf::Swap(StrBuf& other) {
    char* d = data_;
    int c = capacity_;
    data_ = other.data_;
    capacity_ = other.capacity_;
    other.data_ = d;
    other.capacity_ = c;
}

bool StrBuf::Reserve(int n) {
    if (n >= capacity_) {
        Release();
        int cap = CapacityFor(n);
        if (cap == 0) return false;
        data_ = static_cast<char*>(MemAlloc(cap));
        if (!data_) return false;
        capacity_ = cap;
    }
    MemWipe(data_, capacity_);
    return true;
}

void StrBuf::Release() {
    MemFree(data_, capacity_);
    data_ = nullptr;
    capacity_ = 0;
}

void StrBuf::Wipe() {
    if (data_) MemWipe(data_, capacity_);
}

int StrBuf::Length() const {
    if (!data_) return 0;
    const void* end = std::memchr(data_, 0, capacity_);
    return end ? static_cast<int>(static_cast<const char*>(end) - data_) : capacity_ - 1;
}

bool StrBuf::Grow(int n) {
    StrBuf bigger;
    if (!bigger.Reserve(n)) return false;
    std::memcpy(bigger.data_, Text(), Length());
    Swap(bigger);
    return true;
}

bool StrBuf::AssignBytes(const char* text, int len) {
    if (len < 0) len = 0;
    if (Owns(text)) {
        // Copying part of our own text: move it down, keep the storage.
        std::memmove(data_, text, len);
        MemWipe(data_ + len, capacity_ - len);
        return true;
    }
    if (!Reserve(len)) return false;
    std::memcpy(data_, text, len);
    return true;
}

bool StrBuf::Assign(const char* text) {
    if (text && text == data_) return true;
    if (!text) {
        Release();
        return true;
    }
    if (Owns(text)) return AssignBytes(text, static_cast<int>(std::strlen(text)));
    size_t len = std::strlen(text);
    if (len >= static_cast<size_t>(kMaxCapacity)) return false;
    return AssignBytes(text, static_cast<int>(len));
}

bool StrBuf::Assign(const StrBuf& other) {
    if (&other == this) return true;
    if (!other.data_) {
        Release();
        return true;
    }
    return AssignBytes(other.data_, other.Length());
}

bool StrBuf::Append(const char* text) {
    if (IsEmpty()) return Assign(text);
    if (!text || !text[0]) return true;
    size_t add = std::strlen(text);
    int len = Length();
    if (add >= static_cast<size_t>(kMaxCapacity - len - 2)) return false;
    int need = len + static_cast<int>(add) + 2;
    if (need >= capacity_) {
        // New storage first: on failure the text stays as it was, and a
        // text that lies in our own storage is still readable while copying.
        StrBuf bigger;
        if (!bigger.Reserve(need)) return false;
        std::memcpy(bigger.data_, data_, len);
        std::memcpy(bigger.data_ + len, text, add);
        Swap(bigger);
        return true;
    }
    std::memmove(data_ + len, text, add);
    data_[len + add] = 0;
    return true;
}

bool StrBuf::Append(const StrBuf& other) {
    if (other.IsEmpty()) return true;
    if (IsEmpty()) return Assign(other);
    return Append(other.data_);
}

bool StrBuf::AppendChar(char c) { return PutChar(Length(), c); }

bool StrBuf::PutChar(int length, char c) {
    if (!data_) {
        if (!Reserve(2)) return false;
        data_[0] = c;
        return true;
    }
    if (capacity_ < length + 2 && !Grow(length + 2)) return false;
    data_[length] = c;
    data_[length + 1] = 0;
    return true;
}

int StrBuf::Erase(int pos, int count) {
    int len = Length();
    if (pos < 0 || count < 0 || pos >= len) return len;
    if (count >= len - pos) {
        MemWipe(data_ + pos, len - pos);
        return len;
    }
    std::memmove(data_ + pos, data_ + pos + count, len - pos - count);
    MemWipe(data_ + len - count, count);
    return len;
}

void StrBuf::TruncateAfter(int pos) {
    if (pos < -1) pos = -1;
    Erase(pos + 1, Length() - pos);
}

int StrBuf::CharSize(int pos, int length) const {
    // A lead byte whose partner would be the terminator stands alone.
    return (IsLeadByte(static_cast<unsigned char>(data_[pos])) && pos + 1 < length) ? 2 : 1;
}

int StrBuf::Find(const char* text, int from) const {
    if (!text || !data_ || from < 0) return -1;
    size_t want = std::strlen(text);
    if (static_cast<long long>(from) + static_cast<long long>(want) > capacity_) return -1;
    int len = Length();
    int n = static_cast<int>(want);
    for (int i = from; len - i >= n; i += CharSize(i, len)) {
        if (std::memcmp(data_ + i, text, n) == 0) return i;
        if (i == len) break;  // only an empty text gets here
    }
    return -1;
}

int StrBuf::FindLastChar(char c) const {
    int len = Length();
    int found = -1;
    for (int i = 0; i < len;) {
        int size = CharSize(i, len);
        if (size == 1 && data_[i] == c) found = i;
        i += size;
    }
    return found;
}

void StrBuf::TrimLeft() {
    int len = Length();
    int skip = 0;
    while (skip < len && IsBlank(static_cast<unsigned char>(data_[skip]))) ++skip;
    if (skip == 0) return;
    std::memmove(data_, data_ + skip, len - skip);
    MemWipe(data_ + len - skip, skip);
}

void StrBuf::TrimRight() {
    // Walk whole characters so that a trail byte is never taken for a blank.
    int len = Length();
    int keep = 0;
    for (int i = 0; i < len;) {
        int size = CharSize(i, len);
        if (size == 2 || !IsBlank(static_cast<unsigned char>(data_[i]))) keep = i + size;
        i += size;
    }
    if (keep < len) MemWipe(data_ + keep, len - keep);
}

void StrBuf::Trim() {
    TrimLeft();
    TrimRight();
}

bool StrBuf::NextToken(StrBuf& out, const char* delimiters, bool first) const {
    int len = Length();
    if (first) g_tokenPos = 0;
    int pos = g_tokenPos < len ? g_tokenPos : len;
    auto isDelimiter = [&](int at) {
        return CharSize(at, len) == 1 && data_[at] != 0 && std::strchr(delimiters, data_[at]);
    };
    while (pos < len && isDelimiter(pos)) ++pos;
    bool loneLead = pos == len - 1 && IsLeadByte(static_cast<unsigned char>(data_[pos]));
    if (pos >= len || loneLead) {
        g_tokenPos = len;
        out.Release();
        return true;
    }
    int start = pos;
    while (pos < len && !isDelimiter(pos)) pos += CharSize(pos, len);
    g_tokenPos = pos < len ? pos + 1 : len;
    return out.AssignBytes(data_ + start, pos - start);
}

bool StrBuf::Format(const char* format, ...) {
    if (!Reserve(1000)) return false;
    va_list args;
    va_start(args, format);
    FormatAnsi(data_, format, args);
    va_end(args);
    return true;
}

bool StrBuf::Equals(const StrBuf& a, const StrBuf& b) {
    if (a.IsEmpty() || b.IsEmpty()) return a.IsEmpty() && b.IsEmpty();
    return CompareAnsi(a.data_, b.data_) == 0;
}

StrBuf Concat(const StrBuf& a, const char* b) {
    StrBuf joined;
    if (!joined.Assign(a) || !joined.Append(b)) joined.Release();
    return joined;
}

StrBuf Concat(const StrBuf& a, const StrBuf& b) { return Concat(a, b.Text()); }

bool Greater(const StrBuf& a, const StrBuf& b) {
    if (a.IsEmpty()) return false;
    if (b.IsEmpty()) return true;
    return CompareAnsi(a.Text(), b.Text()) > 0;
}

bool Less(const StrBuf& a, const StrBuf& b) {
    if (b.IsEmpty()) return false;
    if (a.IsEmpty()) return true;
    return CompareAnsi(a.Text(), b.Text()) < 0;
}

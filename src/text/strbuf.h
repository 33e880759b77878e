// StrBuf: an owned, growable, zero-terminated byte string in the system's
// ANSI code page. Character operations step over double-byte characters.
// Capacity is 0 (no storage) or a power of two of at least 16; storage is
// zero-filled when taken and wiped before it is given back.
#pragma once

class StrBuf {
public:
    StrBuf() = default;
    StrBuf(StrBuf&& other) noexcept;  // takes over the other's storage
    ~StrBuf() { Release(); }
    StrBuf(const StrBuf&) = delete;             // copies go through Assign
    StrBuf& operator=(const StrBuf&) = delete;
    StrBuf& operator=(StrBuf&&) = delete;

    // Makes room for n bytes plus a terminator and empties the buffer.
    bool Reserve(int n);
    void Release();
    void Wipe();

    bool Assign(const char* text);
    bool Assign(const StrBuf& other);
    // Copies exactly len bytes of text (which may lie in this buffer).
    bool AssignBytes(const char* text, int len);
    bool Append(const char* text);
    bool Append(const StrBuf& other);
    bool AppendChar(char c);
    // AppendChar for a caller that tracks the length itself: the text must
    // be exactly length bytes long. Appending byte by byte stays linear.
    bool PutChar(int length, char c);

    // Removes count bytes at pos; returns the length before the call.
    int Erase(int pos, int count);
    // Keeps bytes 0..pos.
    void TruncateAfter(int pos);
    // Position of text at or after byte from, matched on character starts; -1 if none.
    int Find(const char* text, int from) const;
    // Position of the last character that is the single byte c; -1 if none.
    int FindLastChar(char c) const;
    bool EndsWithChar(char c) const { int n = Length(); return n > 0 && FindLastChar(c) == n - 1; }

    void TrimLeft();
    void TrimRight();
    void Trim();
    // Tokenizer with one process-wide continuation position: first starts a
    // new scan of this buffer, later calls continue it. The text is not
    // changed. Without a further token, out is left without storage. False
    // only when memory ran out.
    bool NextToken(StrBuf& out, const char* delimiters, bool first) const;
    // Formats into a 1024-byte storage; results are cut at 1023 bytes.
    bool Format(const char* format, ...);

    int Length() const;
    bool IsEmpty() const { return !data_ || data_[0] == 0; }
    bool HasStorage() const { return data_ != nullptr; }
    int Capacity() const { return capacity_; }
    const char* Text() const { return data_ ? data_ : ""; }
    char* Data() { return data_; }  // for APIs that fill the storage

    // Exchanges storage with other; never allocates.
    void Swap(StrBuf& other);

    static bool Equals(const StrBuf& a, const StrBuf& b);

private:
    static bool IsBlank(unsigned char c) { return c == ' ' || (c >= 0x09 && c <= 0x0D); }
    // Byte count of the character at pos in a text of the given length.
    int CharSize(int pos, int length) const;
    bool Grow(int n);  // reallocates for n bytes plus terminator, keeping the text
    bool Owns(const char* p) const { return data_ && p >= data_ && p < data_ + capacity_; }

    char* data_ = nullptr;
    int capacity_ = 0;
};

// A new buffer holding a followed by b; without storage when memory ran out.
StrBuf Concat(const StrBuf& a, const char* b);
StrBuf Concat(const StrBuf& a, const StrBuf& b);

// Sort order: an empty string ranks below every other.
bool Greater(const StrBuf& a, const StrBuf& b);
bool Less(const StrBuf& a, const StrBuf& b);

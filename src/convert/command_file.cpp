#include "convert/command_file.h"

#include <cstdint>
#include <cstring>

#include "platform/ansi_text.h"
#include "text/memory.h"

namespace {
constexpr int kKeyCount = 3;
const char* const kKeyNames[kKeyCount] = {"PATH", "FOLDER", "COMMENT"};

// Blanks as the profile service trims them. No trail byte is a blank, so
// trimming byte by byte never splits a double-byte character.
bool IsBlank(unsigned char c) { return c == ' ' || (c >= 0x09 && c <= 0x0D) || c == 0x1A; }

struct Span {
    const char* text;
    std::size_t length;
};

Span TrimmedName(const char* text) {
    std::size_t begin = 0, end = std::strlen(text);
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return {text + begin, end - begin};
}

unsigned char FoldAscii(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

// Visits the name character by character: single bytes folded to lower
// case, double-byte characters (and a lone lead byte at the end) as they are.
template <typename Visit>
void ForEachFolded(Span name, Visit visit) {
    for (std::size_t i = 0; i < name.length; ++i) {
        unsigned char c = name.text[i];
        if (IsLeadByte(c) && i + 1 < name.length) {
            visit(c);
            visit(static_cast<unsigned char>(name.text[++i]));
        } else {
            visit(FoldAscii(c));
        }
    }
}

std::uint32_t HashName(Span name) {
    std::uint32_t h = 2166136261u;
    ForEachFolded(name, [&h](unsigned char c) { h = (h ^ c) * 16777619u; });
    return h;
}

bool SameName(Span a, Span b) {
    if (a.length != b.length) return false;
    for (std::size_t i = 0; i < a.length; ++i) {
        unsigned char x = a.text[i], y = b.text[i];
        if (IsLeadByte(x) && i + 1 < a.length) {
            if (x != y || a.text[i + 1] != b.text[i + 1]) return false;
            ++i;
        } else if (FoldAscii(x) != FoldAscii(y)) {
            return false;
        }
    }
    return true;
}

// One section of the file: its first spelling and its keys in file order.
struct Section {
    Span name;
    const char* value[kKeyCount];  // null: the key is absent
    int order[kKeyCount];
    int keys;

    void Set(int key, const char* text) {
        if (!value[key]) order[keys++] = key;
        value[key] = text;
    }
    void Remove(int key) {
        if (!value[key]) return;
        value[key] = nullptr;
        int kept = 0;
        for (int i = 0; i < keys; ++i)
            if (order[i] != key) order[kept++] = order[i];
        keys = kept;
    }
};

// Sections in order of creation, found by name through an open-addressing
// hash table. Room for one section per command is taken up front.
class SectionTable {
public:
    ~SectionTable() {
        MemFree(sections_, sizeof(Section) * limit_);
        MemFree(slots_, sizeof(int) * slotCount_);
    }
    bool Init(int limit) {
        limit_ = limit > 0 ? static_cast<std::size_t>(limit) : 1;
        slotCount_ = 16;
        while (slotCount_ < 2 * limit_) slotCount_ *= 2;
        sections_ = static_cast<Section*>(MemAlloc(sizeof(Section) * limit_));
        slots_ = static_cast<int*>(MemAlloc(sizeof(int) * slotCount_));
        if (!sections_ || !slots_) return false;
        MemWipe(slots_, sizeof(int) * slotCount_);  // 0: empty slot, else index + 1
        return true;
    }
    // The section of that name; made when create is true and none exists.
    Section* Find(Span name, bool create) {
        std::size_t slot = HashName(name) & (slotCount_ - 1);
        for (; slots_[slot] != 0; slot = (slot + 1) & (slotCount_ - 1)) {
            Section& s = sections_[slots_[slot] - 1];
            if (SameName(s.name, name)) return &s;
        }
        if (!create || count_ >= limit_) return nullptr;
        Section& s = sections_[count_++];
        MemWipe(&s, sizeof s);
        s.name = name;
        slots_[slot] = static_cast<int>(count_);
        return &s;
    }
    std::size_t Count() const { return count_; }
    const Section& operator[](std::size_t i) const { return sections_[i]; }

private:
    Section* sections_ = nullptr;
    int* slots_ = nullptr;
    std::size_t limit_ = 0, slotCount_ = 0, count_ = 0;
};

void Apply(SectionTable& table, const CommandEntry& entry) {
    const StrBuf* fields[kKeyCount] = {&entry.path, &entry.folder, &entry.comment};
    Span name = TrimmedName(entry.name.Text());
    Section* section = table.Find(name, false);
    for (int key = 0; key < kKeyCount; ++key) {
        if (fields[key]->HasStorage()) {
            if (!section) section = table.Find(name, true);
            if (section) section->Set(key, fields[key]->Text());
        } else if (section) {
            section->Remove(key);
        }
    }
}

// Calls put(text, length) for each piece of the file, in order.
template <typename Put>
void Emit(const SectionTable& table, Put put) {
    for (std::size_t i = 0; i < table.Count(); ++i) {
        const Section& s = table[i];
        put("[", 1);
        put(s.name.text, s.name.length);
        put("]\r\n", 3);
        for (int k = 0; k < s.keys; ++k) {
            const char* key = kKeyNames[s.order[k]];
            const char* value = s.value[s.order[k]];
            put(key, std::strlen(key));
            put("=", 1);
            put(value, std::strlen(value));
            put("\r\n", 2);
        }
    }
}
}  // namespace

bool CommandFileText::Build(const CommandList& commands) {
    Release();
    SectionTable table;
    if (!table.Init(commands.Count())) return false;
    for (int i = 0; i < commands.Count(); ++i) Apply(table, commands[i]);

    std::size_t size = 0;
    Emit(table, [&size](const char*, std::size_t n) { size += n; });
    if (size == 0) return true;
    char* data = static_cast<char*>(MemAlloc(size));
    if (!data) return false;
    std::size_t at = 0;
    Emit(table, [data, &at](const char* text, std::size_t n) {
        std::memcpy(data + at, text, n);
        at += n;
    });
    data_ = data;
    size_ = size;
    return true;
}

void CommandFileText::Release() {
    MemFree(data_, size_);
    data_ = nullptr;
    size_ = 0;
}

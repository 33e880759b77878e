// Growable lists: StrList (strings) and CommandList (launcher commands).
// Storage starts at 16 bytes and doubles; one slot always stays free; it is
// given back only by Release. Unused slots hold clear elements.
#pragma once
#include <new>

#include "text/memory.h"
#include "text/strbuf.h"

// One launcher command. Folder and comment may be without storage, which the
// command file writes as an absent key (an empty text gives an empty value).
struct CommandEntry {
    StrBuf name;
    StrBuf path;
    StrBuf folder;
    StrBuf comment;

    bool Assign(const CommandEntry& other);
    void Release();
    void Swap(CommandEntry& other);
};

template <typename Element>
class GrowList {
public:
    GrowList() = default;
    virtual ~GrowList() { Release(); }
    GrowList(const GrowList&) = delete;
    GrowList& operator=(const GrowList&) = delete;

    int Count() const { return count_; }
    int ByteSize() const { return byteSize_; }
    Element& operator[](int i) { return items_[i]; }
    const Element& operator[](int i) const { return items_[i]; }

    // Appends a copy of item; false when memory ran out (the list is kept).
    bool PushBack(const Element& item);
    // Sets the count to n, growing the storage when n reaches the capacity.
    bool Resize(int n);
    // Empties every slot; count and storage stay.
    void WipeAll();
    // WipeAll, then count 0: ready for a new fill, storage kept.
    void Clear() {
        WipeAll();
        count_ = 0;
    }
    void Release();

protected:
    bool Reallocate(int n);
    void FreeStorage(Element* items, int capacity, int byteSize);

    int count_ = 0;
    int capacity_ = 0;
    int byteSize_ = 0;
    Element* items_ = nullptr;
};

class StrList final : public GrowList<StrBuf> {
public:
    // Removes the last element and hands it over; the count must be at least 1.
    StrBuf PopBack();
    // Quicksort of slots first..last (inclusive); empty strings rank lowest.
    void Sort(int first, int last, bool ascending);

private:
    int Partition(int first, int last, bool ascending);
    void Rotate(int a, int b, int c);
};

class CommandList final : public GrowList<CommandEntry> {};

// ---- template definitions ----

template <typename Element>
bool GrowList<Element>::Reallocate(int n) {
    const long long slot = sizeof(Element);
    long long bytes = 16;
    while (bytes <= static_cast<long long>(n) * slot) {
        bytes *= 2;
        if (bytes > (1LL << 30)) return false;
    }
    void* storage = MemAlloc(static_cast<size_t>(bytes));
    if (!storage) return false;
    MemWipe(storage, static_cast<size_t>(bytes));
    byteSize_ = static_cast<int>(bytes);
    capacity_ = static_cast<int>(bytes / slot);
    count_ = n;
    items_ = static_cast<Element*>(storage);
    for (int i = 0; i < capacity_; ++i) new (&items_[i]) Element();
    return true;
}

template <typename Element>
void GrowList<Element>::FreeStorage(Element* items, int capacity, int byteSize) {
    if (!items) return;
    for (int i = 0; i < capacity; ++i) items[i].~Element();
    MemFree(items, byteSize);
}

template <typename Element>
bool GrowList<Element>::Resize(int n) {
    if (n < 0) return false;
    if (n < capacity_) {
        int low = n < count_ ? n : count_;
        int high = n < count_ ? count_ : n;
        for (int i = low; i < high; ++i) items_[i].Release();
        count_ = n;
        return true;
    }
    Element* oldItems = items_;
    int oldCount = count_, oldCapacity = capacity_, oldBytes = byteSize_;
    items_ = nullptr;
    count_ = capacity_ = byteSize_ = 0;
    if (!Reallocate(n)) {
        // Keep what the list held: a failed growth loses nothing.
        items_ = oldItems;
        count_ = oldCount;
        capacity_ = oldCapacity;
        byteSize_ = oldBytes;
        return false;
    }
    // Elements change hands without copying, so growth cannot lose a string.
    for (int i = 0; i < oldCount; ++i) items_[i].Swap(oldItems[i]);
    FreeStorage(oldItems, oldCapacity, oldBytes);
    return true;
}

template <typename Element>
bool GrowList<Element>::PushBack(const Element& item) {
    if (items_ && &item >= items_ && &item < items_ + capacity_) {
        // Growth would move the item out from under us: copy it first.
        Element copy;
        if (!copy.Assign(item)) return false;
        return PushBack(copy);
    }
    const int slot = count_;
    if (count_ + 1 < capacity_) {
        ++count_;
    } else if (!Resize(count_ + 1)) {
        return false;
    }
    if (!items_[slot].Assign(item)) {
        // A half-copied element would silently lose text: take it back out.
        items_[slot].Release();
        count_ = slot;
        return false;
    }
    return true;
}

template <typename Element>
void GrowList<Element>::WipeAll() {
    if (!items_) return;
    for (int i = 0; i < capacity_; ++i) items_[i].Release();
}

template <typename Element>
void GrowList<Element>::Release() {
    FreeStorage(items_, capacity_, byteSize_);
    items_ = nullptr;
    count_ = capacity_ = byteSize_ = 0;
}

#include "text/lists.h"

bool CommandEntry::Assign(const CommandEntry& other) {
    bool ok = name.Assign(other.name);
    ok = path.Assign(other.path) && ok;
    ok = folder.Assign(other.folder) && ok;
    ok = comment.Assign(other.comment) && ok;
    return ok;
}

void CommandEntry::Release() {
    comment.Release();
    folder.Release();
    path.Release();
    name.Release();
}

void CommandEntry::Swap(CommandEntry& other) {
    name.Swap(other.name);
    path.Swap(other.path);
    folder.Swap(other.folder);
    comment.Swap(other.comment);
}

StrBuf StrList::PopBack() {
    StrBuf last;
    if (count_ < 1) return last;
    last.Swap(items_[count_ - 1]);  // the slot is left clear
    --count_;
    return last;
}

void StrList::Sort(int first, int last, bool ascending) {
    // Recurse into the smaller part and loop on the larger one, so that the
    // stack stays shallow whatever the input order.
    while (first < last) {
        int p = Partition(first, last, ascending);
        if (p - first < last - p) {
            Sort(first, p - 1, ascending);
            first = p + 1;
        } else {
            Sort(p + 1, last, ascending);
            last = p - 1;
        }
    }
}

// Slot a takes element b, b takes element c, c takes element a.
void StrList::Rotate(int a, int b, int c) {
    StrBuf held;
    held.Swap(items_[a]);
    items_[a].Swap(items_[b]);
    items_[b].Swap(items_[c]);
    items_[c].Swap(held);
}

int StrList::Partition(int first, int last, bool ascending) {
    // The pivot travels with slot p, so it is compared in place.
    int p = first + (last - first) / 2;
    auto belongsRight = [&](int i) {
        return ascending ? Greater(items_[i], items_[p]) : Less(items_[i], items_[p]);
    };
    auto belongsLeft = [&](int i) {
        return ascending ? Less(items_[i], items_[p]) : Greater(items_[i], items_[p]);
    };
    for (int k = first; k < p;) {
        if (belongsRight(k)) {
            Rotate(k, p - 1, p);
            --p;
        } else {
            ++k;
        }
    }
    for (int j = last; j > p;) {
        if (belongsLeft(j)) {
            Rotate(j, p + 1, p);
            ++p;
        } else {
            --j;
        }
    }
    return p;
}

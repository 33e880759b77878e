#include "text/memory.h"

#include <cstdlib>

namespace {
long g_count = 0;
long g_failAt = 0;
bool g_sticky = false;
bool g_injected = false;

bool ShouldFail() {
    ++g_count;
    if (g_failAt <= 0) return false;
    bool fail = g_sticky ? g_count >= g_failAt : g_count == g_failAt;
    if (fail) g_injected = true;
    return fail;
}
}  // namespace

void MemWipe(void* block, std::size_t size) {
    volatile unsigned char* p = static_cast<volatile unsigned char*>(block);
    while (size--) *p++ = 0;
}

void* MemAlloc(std::size_t size) {
    if (ShouldFail()) return nullptr;
    return std::malloc(size ? size : 1);
}

void MemFree(void* block, std::size_t size) {
    if (!block) return;
    MemWipe(block, size);
    std::free(block);
}

namespace alloc_fault {
void Arm(long failAt, bool sticky) {
    g_count = 0;
    g_failAt = failAt;
    g_sticky = sticky;
    g_injected = false;
}
void Disarm() { Arm(0, false); }
long Count() { return g_count; }
bool Injected() { return g_injected; }
}  // namespace alloc_fault

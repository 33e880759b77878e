// The one place where the product takes and gives back heap memory.
// Every block is wiped before it is freed. Tests can make the k-th
// allocation fail to drive the out-of-memory paths for real.
#pragma once
#include <cstddef>

void* MemAlloc(std::size_t size);
// Overwrites size bytes with zero, then frees. A null block is ignored.
void MemFree(void* block, std::size_t size);
// Zero-fills a block in a way the optimiser may not drop.
void MemWipe(void* block, std::size_t size);

namespace alloc_fault {
// Counts allocations from now on; the call numbered failAt (1-based) and,
// when sticky, every later one returns null. failAt 0 never fails.
void Arm(long failAt, bool sticky = false);
void Disarm();
long Count();     // allocations attempted since the last Arm or Disarm
bool Injected();  // whether a failure was injected since then
}  // namespace alloc_fault

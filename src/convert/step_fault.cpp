#include "convert/step_fault.h"

namespace {
long g_count = 0;
long g_failAt = 0;
bool g_injected = false;
}  // namespace

namespace step_fault {
void Arm(long failAt) {
    g_count = 0;
    g_failAt = failAt;
    g_injected = false;
}
void Disarm() { Arm(0); }
bool Injected() { return g_injected; }
bool Fails() {
    if (g_failAt <= 0 || ++g_count != g_failAt) return false;
    g_injected = true;
    return true;
}
}  // namespace step_fault

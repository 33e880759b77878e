#include "convert/step_fault.h"

namespace {
long g_count = 0;
long g_failAt = 0;
long g_reads = 0;
long g_readFailAt = 0;
bool g_injected = false;
FileStatus g_renameStatus = FileStatus::Done;
int g_forcedRenames = 0;

bool Counts(long& count, long failAt) {
    if (failAt <= 0 || ++count != failAt) return false;
    g_injected = true;
    return true;
}
}  // namespace

namespace step_fault {
void Arm(long failAt) {
    g_count = g_reads = g_readFailAt = 0;
    g_failAt = failAt;
    g_injected = false;
    g_forcedRenames = 0;
}
void Disarm() { Arm(0); }
bool Injected() { return g_injected; }
bool Fails() { return Counts(g_count, g_failAt); }

void ArmRead(long failAt) {
    g_reads = 0;
    g_readFailAt = failAt;
}
bool ReadFails() { return Counts(g_reads, g_readFailAt); }

void ForceRenames(FileStatus status, int times) {
    g_renameStatus = status;
    g_forcedRenames = times;
}
bool ForcedRename(FileStatus& status) {
    if (g_forcedRenames == 0) return false;
    if (g_forcedRenames > 0) --g_forcedRenames;
    status = g_renameStatus;
    return true;
}
int ForcedRenamesLeft() { return g_forcedRenames; }
}  // namespace step_fault

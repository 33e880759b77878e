#include "convert/step_fault.h"

namespace {
long g_count = 0;
long g_failAt = 0;
long g_thenAt = 0;
FileStatus g_kind = FileStatus::Refused;
long g_reads = 0;
long g_readFailAt = 0;
FileStatus g_readKind = FileStatus::Refused;
int g_injected = 0;
FileStatus g_renameStatus = FileStatus::Done;
int g_forcedRenames = 0;
bool g_copiesLocked = false;
void (*g_tracer)(const char*, const char*) = nullptr;

bool Inject() {
    ++g_injected;
    if (g_tracer) g_tracer("failed", "");
    return true;
}

bool NextStepFails() {
    if (g_failAt <= 0) return false;
    ++g_count;
    return (g_count == g_failAt || (g_thenAt > 0 && g_count == g_failAt + g_thenAt)) && Inject();
}
}  // namespace

namespace step_fault {
void Arm(long failAt, FileStatus kind, long thenAt) {
    g_count = g_reads = g_readFailAt = 0;
    g_failAt = failAt;
    g_thenAt = thenAt;
    g_kind = kind;
    g_injected = 0;
    g_forcedRenames = 0;
    g_copiesLocked = false;
}
void Disarm() { Arm(0); }
int Injected() { return g_injected; }
bool Fails() { return g_kind != FileStatus::Busy && NextStepFails(); }
bool TryFails(FileStatus& status) {
    if (!NextStepFails()) return false;
    status = g_kind;
    return true;
}

void CutShort(const char* target) {
    FileObj file;
    file.Open(target, true, true);
}

void LockCopies() { g_copiesLocked = true; }
bool CopiesLocked() { return g_copiesLocked; }

void ArmRead(long failAt, FileStatus kind) {
    g_reads = 0;
    g_readFailAt = failAt;
    g_readKind = kind;
}
bool ReadFails() { return g_readFailAt > 0 && ++g_reads == g_readFailAt && Inject(); }
FileStatus ReadFailure() { return g_readKind; }

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

void SetTracer(void (*tracer)(const char* what, const char* path)) { g_tracer = tracer; }
void Trace(const char* what, const char* path) {
    if (g_tracer) g_tracer(what, path);
}
}  // namespace step_fault

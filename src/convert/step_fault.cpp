#include "convert/step_fault.h"

namespace {
struct Faults {
    long count, failAt, thenAt;
    FileStatus kind;
    int injected;
    FileStatus renames;  // Done: not forced
} g = {0, 0, 0, FileStatus::Refused, 0, FileStatus::Done};
void (*g_tracer)(const char*, const char*) = nullptr;

bool Inject() {
    ++g.injected;
    step_fault::Trace("failed", "");
    return true;
}

bool NextStepFails() {
    if (g.failAt <= 0) return false;
    ++g.count;
    return (g.count == g.failAt || (g.thenAt > 0 && g.count == g.failAt + g.thenAt)) && Inject();
}
}  // namespace

namespace step_fault {
void Arm(long failAt, FileStatus kind, long thenAt) {
    g = {0, failAt, thenAt, kind, 0, FileStatus::Done};
}
int Injected() { return g.injected; }
bool Fails() { return g.kind != FileStatus::Busy && NextStepFails(); }
bool TryFails(FileStatus& status) {
    status = g.kind;
    return NextStepFails();
}

void ForceRenames(FileStatus status) { g.renames = status; }
bool ForcedRename(FileStatus& status) {
    status = g.renames;
    return status != FileStatus::Done;
}

void SetTracer(void (*tracer)(const char* what, const char* path)) { g_tracer = tracer; }
void Trace(const char* what, const char* path) {
    if (g_tracer) g_tracer(what, path);
}
}  // namespace step_fault

#include "convert/step_fault.h"

namespace {
struct Faults {
    long count, failAt, thenAt;
    FileStatus kind;
    int injected;
    bool refuseRenames;
} g = {0, 0, 0, FileStatus::Refused, 0, false};
void (*g_tracer)(const char*) = nullptr;

bool Inject() {
    ++g.injected;
    step_fault::Trace("failed");
    return true;
}

bool NextStepFails() {
    if (g.failAt <= 0) return false;
    ++g.count;
    return (g.count == g.failAt || (g.thenAt > 0 && g.count == g.failAt + g.thenAt)) && Inject();
}
}  // namespace

namespace step_fault {
void Arm(long failAt, FileStatus kind, long thenAt, bool refuseRenames) {
    g = {0, failAt, thenAt, kind, 0, refuseRenames};
}
int Injected() { return g.injected; }
bool Fails() { return g.kind != FileStatus::Busy && NextStepFails(); }
bool TryFails(FileStatus& status) {
    status = g.kind;
    return NextStepFails();
}

bool RenamesRefused() { return g.refuseRenames; }

void SetTracer(void (*tracer)(const char* what)) { g_tracer = tracer; }
void Trace(const char* what) {
    if (g_tracer) g_tracer(what);
}
}  // namespace step_fault

#include "convert/step_fault.h"

namespace {
struct Faults {
    long count, failAt, thenAt;
    FileStatus kind;
    int injected;
    bool refuseRenames, attributeInjected;
} g = {0, 0, 0, FileStatus::Refused, 0, false, false};
void (*g_tracer)(const char*) = nullptr;

bool Inject(bool attribute) {
    ++g.injected;
    g.attributeInjected = g.attributeInjected || attribute;
    step_fault::Trace("failed");
    return true;
}

bool NextStepFails(bool attribute) {
    if (g.failAt <= 0) return false;
    ++g.count;
    return (g.count == g.failAt || (g.thenAt > 0 && g.count == g.failAt + g.thenAt)) && Inject(attribute);
}
}  // namespace

namespace step_fault {
void Arm(long failAt, FileStatus kind, long thenAt, bool refuseRenames) {
    g = {0, failAt, thenAt, kind, 0, refuseRenames, false};
}
int Injected() { return g.injected; }
bool AttributeInjected() { return g.attributeInjected; }
bool Fails(bool attribute) { return g.kind != FileStatus::Busy && NextStepFails(attribute); }
bool TryFails(FileStatus& status, bool attribute) {
    status = g.kind;
    return NextStepFails(attribute);
}

bool RenamesRefused() { return g.refuseRenames; }

void SetTracer(void (*tracer)(const char* what)) { g_tracer = tracer; }
void Trace(const char* what) {
    if (g_tracer) g_tracer(what);
}
}  // namespace step_fault

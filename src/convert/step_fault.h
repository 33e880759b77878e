// Tests can make the k-th step of saving the new files fail, to drive every
// recovery path against the real file system (the step is then not done).
// Disarmed, as it ships, every step goes ahead.
#pragma once
#include "platform/files.h"

namespace step_fault {
// Counts steps from now on; step failAt (1-based) fails, and when thenAt
// > 0 also the step thenAt steps after it (a second failure, as while
// putting files back). 0 never fails. kind is what a failed try of a file
// operation or a read reports; Busy failures are met only by the tries that
// are repeated, and the other steps do not count them. refuseRenames makes
// every rename over vaxu.ini or vaxu_cmd.txt fail without touching the
// files, as UAC file virtualization may.
void Arm(long failAt, FileStatus kind = FileStatus::Refused, long thenAt = 0, bool refuseRenames = false);
inline void Disarm() { Arm(0); }
int Injected();  // failures injected since the last Arm
// Whether one of them failed the setting of attributes, which may leave a
// file's read-only or hidden attribute unset.
bool AttributeInjected();
// Called by each plain step before it acts: true when this one is to fail.
bool Fails(bool attribute = false);
// Called by each try of a file operation, and by each opening and read of
// a file read whole (the source, vaxu.ini, vaxu_cmd.txt): true, with the
// status to report, when this one is to fail.
bool TryFails(FileStatus& status, bool attribute = false);
bool RenamesRefused();

// Tells a test when a failure is injected ("failed") and when a launcher's
// file is copied over in place ("copy in place"); nothing when no tracer is set.
void SetTracer(void (*tracer)(const char* what));
void Trace(const char* what);
}  // namespace step_fault

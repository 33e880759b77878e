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
// are repeated, and the other steps do not count them. Also ends what
// ForceRenames set up.
void Arm(long failAt, FileStatus kind = FileStatus::Refused, long thenAt = 0);
inline void Disarm() { Arm(0); }
int Injected();  // failures injected since the last Arm
// Called by each plain step before it acts: true when this one is to fail.
bool Fails();
// Called by each try of a file operation, and by each opening and read of
// a file read whole (the source, vaxu.ini, vaxu_cmd.txt): true, with the
// status to report, when this one is to fail.
bool TryFails(FileStatus& status);

// Makes every rename over vaxu.ini or vaxu_cmd.txt end with status without
// touching the files, as a virtualized folder (or a file taken away) does.
void ForceRenames(FileStatus status);
// True, with the status to report, when renames are forced.
bool ForcedRename(FileStatus& status);

// Tells a test what is done to which file ("flush", "rename"), in order,
// and when a failure is injected ("failed"); nothing when no tracer is set.
void SetTracer(void (*tracer)(const char* what, const char* path));
void Trace(const char* what, const char* path);
}  // namespace step_fault

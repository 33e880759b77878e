// Tests can make the k-th step of saving the new files fail, to drive every
// recovery path against the real file system (the step is then not done).
#pragma once
#include "platform/files.h"

namespace step_fault {
// Counts steps from now on; step failAt (1-based) fails, and when thenAt
// > 0 also the step thenAt steps after it (a second failure, as while
// putting files back). 0 never fails. kind is what a failed try of a file
// operation reports; Busy failures are met only by the tries that are
// repeated, and the other steps do not count them. Also ends what ArmRead
// and ForceRenames set up.
void Arm(long failAt, FileStatus kind = FileStatus::Refused, long thenAt = 0);
void Disarm();
int Injected();  // failures injected since the last Arm
// Called by each plain step before it acts: true when this one is to fail.
bool Fails();
// Called by each try of a file operation: true, with the status to
// report, when this one is to fail.
bool TryFails(FileStatus& status);

// What a failed try of a copy leaves: its target cut short, as a copy that
// stops part-way may leave it.
void CutShort(const char* target);
// From now until Arm, every try of a copy over a file meets a lock part-way
// (another program's, for good): its target cut short, then Busy.
void LockCopies();
bool CopiesLocked();

// Counts the openings and the reads of the files read whole (the source,
// then vaxu.ini); the one numbered failAt (1-based) fails, with kind as
// the reason where the reader asks for it.
void ArmRead(long failAt, FileStatus kind = FileStatus::Refused);
bool ReadFails();
FileStatus ReadFailure();

// The next times renames (every one when times < 0) end with status
// without touching the files, as a busy or virtualized folder makes them.
void ForceRenames(FileStatus status, int times);
// True, with the status to report, when the coming rename is forced.
bool ForcedRename(FileStatus& status);
// Tells a test what is done to which file ("flush", "rename"), in order,
// and when a failure is injected ("failed"); nothing when no tracer is set.
void SetTracer(void (*tracer)(const char* what, const char* path));
void Trace(const char* what, const char* path);
}  // namespace step_fault

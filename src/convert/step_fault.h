// Tests can make the k-th step of saving the new files fail, to drive every
// recovery path against the real file system (the step is then not done).
#pragma once
#include "platform/files.h"

namespace step_fault {
// Counts steps from now on; step failAt (1-based) fails. 0 never fails.
// Also ends what ArmRead and ForceRenames set up.
void Arm(long failAt);
void Disarm();
bool Injected();  // whether a failure was injected since the last Arm
// Called by each step before it acts: true when this one is to fail.
bool Fails();

// Counts the opening and the reads of a file being copied; the one
// numbered failAt (1-based) fails.
void ArmRead(long failAt);
bool ReadFails();

// The next times renames (every one when times < 0) end with status
// without touching the files, as a busy or virtualized folder makes them.
void ForceRenames(FileStatus status, int times);
// True, with the status to report, when the coming rename is forced.
bool ForcedRename(FileStatus& status);
int ForcedRenamesLeft();
}  // namespace step_fault

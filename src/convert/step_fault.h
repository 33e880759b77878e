// Tests can make the k-th step of saving the new files fail, to drive every
// recovery path against the real file system (the step is then not done).
#pragma once

namespace step_fault {
// Counts steps from now on; step failAt (1-based) fails. 0 never fails.
void Arm(long failAt);
void Disarm();
bool Injected();  // whether a failure was injected since the last Arm
// Called by each step before it acts: true when this one is to fail.
bool Fails();
}  // namespace step_fault

// A simulated power cut for the native file layer, as SQLite's crash tests
// simulate one: once armed, the file calls after a chosen one fail and
// change nothing, so a run ends as its code handles failures. Meanwhile the
// changes in one folder are journalled, so that the folder can then be laid
// down as the disk might hold it after the cut:
// - creations, renames, deletions and attribute changes survive in their
//   order, as a prefix: at least up to the last flush (of any file), at
//   most up to the cut;
// - each file's data written since its own last flush is kept as written,
//   lost (back to its last flushed bytes), torn (the new bytes' first half
//   over those) or garbage, which is never another file's bytes.
#pragma once
#include <string>

namespace power_cut {
// Journals the changes in folder (with its trailing separator) from now
// on, and cuts the power after the first `calls` file calls; a negative
// count never cuts. No real disk sync is made while armed.
void Arm(const std::string& folder, long calls);
long Calls();  // file calls made since Arm
// Disarms, and lays the folder down as the disk comes back: scenario 0 is
// a killed run (every change as made); in an odd one every change
// survives, in an even one a shorter prefix; the data of the n-th file
// with unflushed data is kept, lost, torn or garbage by (scenario + n) % 4.
void LayDown(unsigned scenario);
}  // namespace power_cut

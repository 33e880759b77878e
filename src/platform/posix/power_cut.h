// A simulated power cut for the native file layer, as SQLite's crash tests
// simulate one: every file call goes through here, and once armed the
// calls after a chosen one fail (EIO) and change nothing, so a run ends as
// its code handles failures. Meanwhile each change in one folder is
// journalled, so that the folder can then be laid down as the disk might
// hold it after the cut:
// - creations, renames, deletions, truncations and attribute changes
//   survive in their order, as a prefix: at least up to the last
//   completed flush (of any file), at most up to the cut;
// - each file's data written since its own last flush is kept as written,
//   lost (back to its last flushed bytes), torn (those bytes with part of
//   the new ones) or garbage that is never zeros and never equal to
//   another file's.
// Disarmed, it does nothing but count nothing. A flush while armed does no
// real disk sync.
#pragma once
#include <cstddef>

namespace power_cut {
// Journals the changes in folder (with its trailing separator) from now
// on, starting from the files it holds, and cuts the power after the
// first `calls` file calls; a negative count never cuts.
void Arm(const char* folder, long calls);
void Disarm();
bool Armed();
long Calls();    // file calls made since Arm
bool WentOut();  // whether the cut came

// How the disk comes back: scenario 0 is a killed run (every change as
// made); in any other, the changes after the last flush survive when the
// scenario is odd, and the data of the n-th file with unflushed data is
// kept, lost, torn or garbage by (scenario + n) % 4.
void LayDown(unsigned scenario);

// Makes every listing of the folder fail, as a folder without the right
// to list it does (a file in it can still be opened by name).
void FailListings(bool fail);
bool ListingFails();

// Called by the native file layer. Allow counts a call and is false once
// the power is out (errno is then EIO); the others journal a change done.
bool Allow();
void Created(const char* path);
void Truncated(const char* path);
void Wrote(const char* path, long offset, const void* data, std::size_t size);
void Flushed(const char* path);
void Renamed(const char* from, const char* to);
void Removed(const char* path);
void ReadOnlySet(const char* path, bool readOnly);
}  // namespace power_cut

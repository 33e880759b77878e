// The first thing the program does: keep DLLs planted beside it (users
// start it from their Downloads folder) or in the current folder from
// being loaded in place of system ones.
#pragma once

// Limits the DLL search to System32. Where the system lacks that call
// (Windows Vista and 7 without the 2011 loader update), at least takes the
// current folder out of the search.
void RestrictDllSearch();

// Directory creation, tree listing and tree removal (Windows).
// Every backslash test steps over double-byte characters, so a trail byte
// of 0x5C (as in "ソ" or "表") is never taken for a separator.
#pragma once
#include "text/lists.h"
#include "text/strbuf.h"

// Creates the folder and any missing parents, outermost first. True when it
// exists afterwards. The current directory is the same before and after.
bool MakeDirPath(const StrBuf& path);

// Whether the walk goes into an entry with these attributes: folders, but
// never a link (a reparse point), which is listed as an entry of its own.
bool EntersFolder(unsigned long attributes);

// Appends to out the paths found under root (files, and with
// includeDirectories the folders too). Folders are searched last-in,
// first-out, without recursion. False when memory ran out.
bool ListFiles(const StrBuf& root, StrList& out, const char* pattern, bool recurse, bool includeDirectories);

// Deletes root and everything below it; true when all of it is gone.
bool RemoveTree(const StrBuf& root);

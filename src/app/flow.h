// The converter's main line: start-up checks, the conversion loop, the end.
#pragma once
#include <windows.h>

#include "convert/convert_job.h"

// Runs the whole program for the module instance; always returns 0.
int RunConverter(HINSTANCE instance);

// The box after a save that failed twice: its heading, then a line for
// each file to put back by hand, from its .bak or by removing it.
bool NotRestoredText(Restore settings, Restore commands, StrBuf& text);

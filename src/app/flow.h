// The converter's main line: start-up checks, the conversion loop, the end.
#pragma once
#include <windows.h>

// Runs the whole program for the module instance; always returns 0.
int RunConverter(HINSTANCE instance);

// The running launcher: it saves its own settings as it exits, so the
// converter writes only once it has ended.
#pragma once
#include <windows.h>

// Asks the launcher, when its window is open, to close, and waits until it
// has ended. Only "yes" closes it. True when no launcher is running.
bool CloseRunningLauncher();

// Waits for the launcher to end: for its process where it could be
// opened, else until its window is gone, at most limitMs. True when it
// ended in time.
bool LauncherEnded(HWND launcher, HANDLE process, DWORD limitMs);

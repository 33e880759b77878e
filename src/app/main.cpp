#include <windows.h>

#include "app/flow.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return RunConverter(instance); }

#include <windows.h>

#include "app/dll_search.h"
#include "app/flow.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    RestrictDllSearch();
    return RunConverter(instance);
}

#include <windows.h>

#include "app/dll_search.h"
#include "app/flow.h"
#include "app/messages.h"

namespace {
// One conversion at a time for a user's session: a copy that finds the
// name taken brings the running copy's box or dialog to the front,
// restored if minimized, and ends, having written nothing. The system
// drops the name with the last copy that holds it, so a killed copy
// blocks no later start.
bool AnotherCopyRuns() {
    SetLastError(ERROR_SUCCESS);
    CreateMutexA(nullptr, FALSE, "Local\\VaxuConverter.OneConversion");
    const DWORD status = GetLastError();  // access denied: taken by an elevated copy
    if (status != ERROR_ALREADY_EXISTS && status != ERROR_ACCESS_DENIED) return false;
    HWND running = FindWindowA("#32770", messages::kTitle);
    if (!running) running = FindWindowA("#32770", messages::kDialogTitle);
    // A minimized dialog would come forward only on the task bar. Async, so
    // that a running copy that does not answer cannot hold this one up.
    if (running && IsIconic(running)) ShowWindowAsync(running, SW_RESTORE);
    if (running) SetForegroundWindow(GetLastActivePopup(running));
    return true;
}
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    RestrictDllSearch();
    return AnotherCopyRuns() ? 0 : RunConverter(instance);
}

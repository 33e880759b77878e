// Another program holding a file open for a moment, as an editor, an
// indexer or a virus scanner does. Usage: file_holder PATH SHARE MS EVENT:
// opens PATH for reading with the share mode SHARE, sets the named event
// EVENT once it holds the file, and lets go MS milliseconds later.
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 5) return 100;
    HANDLE file = CreateFileA(argv[1], GENERIC_READ, std::strtoul(argv[2], nullptr, 0), nullptr, OPEN_EXISTING, 0,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return 101;
    HANDLE held = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[4]);
    SetEvent(held);
    CloseHandle(held);
    Sleep(std::strtoul(argv[3], nullptr, 0));
    CloseHandle(file);
    return 0;
}

// Another program holding a file open, as an editor, an indexer or a virus
// scanner does. Usage: file_holder PATH SHARE MS NAME: opens PATH for
// reading with the share mode SHARE, sets the event NAME-held once it holds
// the file, and lets go MS milliseconds later or when the test sets the
// event NAME-release, whichever comes first.
#include <windows.h>

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc < 5) return 100;
    HANDLE file = CreateFileA(argv[1], GENERIC_READ, std::strtoul(argv[2], nullptr, 0), nullptr, OPEN_EXISTING, 0,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return 101;
    const std::string name = argv[4];
    HANDLE held = OpenEventA(EVENT_MODIFY_STATE, FALSE, (name + "-held").c_str());
    HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, (name + "-release").c_str());
    SetEvent(held);
    WaitForSingleObject(release, std::strtoul(argv[3], nullptr, 0));
    CloseHandle(file);
    return 0;
}

// Feeds arbitrary command lists to the one-pass command file writer and to
// the native key-by-key profile writer, and checks that both give the same
// bytes. Input: fields separated by 0x00, four to a command (name, path,
// folder, comment); a field that is the single byte 0x01 has no storage.
// Line ends cannot occur in a field (the reader splits lines on them).
#include <cstdint>
#include <cstdlib>
#include <string>

#include "convert/command_file.h"
#include "platform/posix/profile_edit.h"

namespace {
void Check(bool condition) {
    if (!condition) std::abort();
}

void SetField(StrBuf& field, const std::string& text) {
    if (text != "\x01") field.Assign(text.c_str());
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string fields[4];
    int at = 0;
    CommandList commands;
    std::string expected;
    auto finish = [&] {
        CommandEntry e;
        SetField(e.name, fields[0]);
        SetField(e.path, fields[1]);
        SetField(e.folder, fields[2]);
        SetField(e.comment, fields[3]);
        Check(commands.PushBack(e));
        const char* keys[] = {"PATH", "FOLDER", "COMMENT"};
        const StrBuf* values[] = {&e.path, &e.folder, &e.comment};
        for (int k = 0; k < 3; ++k)
            EditProfileText(expected, e.name.Text(), keys[k], values[k]->HasStorage() ? values[k]->Text() : nullptr);
        for (std::string& f : fields) f.clear();
        at = 0;
    };
    for (size_t i = 0; i < size && commands.Count() < 16; ++i) {
        char c = static_cast<char>(data[i]);
        if (c == '\r' || c == '\n') continue;
        if (c != 0) {
            fields[at] += c;
        } else if (++at == 4) {
            finish();
        }
    }
    CommandFileText text;
    Check(text.Build(commands));
    Check(std::string(text.Data() ? text.Data() : "", text.Size()) == expected);
    return 0;
}

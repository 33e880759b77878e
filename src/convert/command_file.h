// The bytes of a new vaxu_cmd.txt, built in one pass from the command list.
//
// The result is what the profile service writes for the calls
// WritePrivateProfileString(name, "PATH" / "FOLDER" / "COMMENT", value)
// made entry by entry on a file that does not exist yet:
// - "[name]" CRLF, then "KEY=value" CRLF per key; no blank lines, no BOM;
// - names match ignoring blanks at either end and the case of ASCII
//   letters (double-byte characters and full-width letters match only
//   exactly); a section is written under its first spelling, trimmed;
// - a later entry with the same name replaces values in place; a field
//   without storage removes its key; a key removed and written again goes
//   to the end of its section; a section whose keys were all removed keeps
//   its header; fields without storage alone never make a section;
// - a value is written as it is, blanks at either end included, as
//   Windows writes it (Wine drops those that start it); readers trim them.
// Building costs time and memory in proportion to the list's size.
#pragma once
#include <cstddef>

#include "text/lists.h"

class CommandFileText {
public:
    CommandFileText() = default;
    ~CommandFileText() { Release(); }
    CommandFileText(const CommandFileText&) = delete;
    CommandFileText& operator=(const CommandFileText&) = delete;

    // False when memory ran out; the text is then empty.
    bool Build(const CommandList& commands);
    const char* Data() const { return data_; }
    std::size_t Size() const { return size_; }
    void Release();

private:
    char* data_ = nullptr;
    std::size_t size_ = 0;
};

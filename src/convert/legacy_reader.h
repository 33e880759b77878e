// Reader of the launcher's old settings file, path.txt: option lines that
// start with a keyword such as "#HotKey", and one line per command.
#pragma once
#include "platform/files.h"
#include "text/lists.h"
#include "text/strbuf.h"

struct LegacySettings {
    int hotKeyModifiers = 0;  // bit 0 ALT, bit 1 Ctrl, bit 2 Shift
    int hotKeyCode = 0;
    StrBuf currentDir;
    int tabCount = 0;
    int historyMax = 0;
    int toolTip = 0;
    int useBigChar = 0;
    int imeCtrl = 0;
    int windowWidth = 0;
    int windowHeight = 0;
    int savePosition = 0;

    void Reset();
};

// Decimal number as atoi reads it (blanks, sign, digits), saturating
// instead of overflowing.
int ParseDecimal(const char* text);

// Interprets one trimmed, non-empty, non-comment line: an option line
// updates settings, a command line appends an entry. False only when
// memory ran out.
bool ParseLegacyLine(const StrBuf& line, LegacySettings& settings, CommandList& commands);

enum class LegacyRead {
    Complete,
    OutOfMemory,
    ReadFailed,  // the file could not be read to its end
};

// Reads the whole open file in 1024-byte blocks, line by line. On failure
// what was read until then stays in settings and commands; a line cut by a
// read error is not interpreted.
LegacyRead ReadLegacySettings(FileObj& file, LegacySettings& settings, CommandList& commands);

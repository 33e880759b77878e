#include "convert/legacy_reader.h"

#include <climits>

#include "platform/ansi_text.h"
#include "text/memory.h"

namespace {
constexpr int kBlockSize = 1024;
constexpr const char* kBlanks = "\t ";

bool IsKeyword(const StrBuf& keyword, const char* name) {
    return !keyword.IsEmpty() && CompareAnsi(keyword.Text(), name) == 0;
}

// Takes the bracket "<open>...]" out of rest. With its closing "]", the text
// inside goes to value (trimmed; possibly empty but with storage). Without
// it, rest loses everything from the bracket on and value has no storage.
bool TakeBracket(StrBuf& rest, const char* open, int openLength, StrBuf& value) {
    value.Release();
    int start = rest.Find(open, 0);
    if (start < 0) return true;
    int close = rest.Find("]", start);
    if (close < 0) {
        rest.TruncateAfter(start - 1);
        return true;
    }
    if (!value.Assign(rest)) return false;
    value.TruncateAfter(close - 1);
    value.Erase(0, start + openLength);
    value.Trim();
    rest.Erase(start, close - start + 1);
    return true;
}

bool AddCommand(const StrBuf& keyword, StrBuf& rest, CommandList& commands) {
    StrBuf folder, comment;
    if (!TakeBracket(rest, "[CD:", 4, folder) || !TakeBracket(rest, "[Comment:", 9, comment)) return false;
    // The path keeps the blanks that stood around the removed brackets.
    CommandEntry clear;
    if (!commands.PushBack(clear)) return false;
    CommandEntry& entry = commands[commands.Count() - 1];
    return entry.name.Assign(keyword) && entry.path.Assign(rest) && entry.folder.Assign(folder) &&
           entry.comment.Assign(comment);
}

// Finishes one line: blank lines and lines starting with "//" are skipped.
bool FinishLine(StrBuf& line, LegacySettings& settings, CommandList& commands) {
    line.Trim();
    bool ok = true;
    if (!line.IsEmpty() && line.Find("//", 0) != 0) ok = ParseLegacyLine(line, settings, commands);
    line.Wipe();
    return ok;
}
}  // namespace

void LegacySettings::Reset() {
    hotKeyModifiers = hotKeyCode = 0;
    currentDir.Wipe();
    tabCount = historyMax = toolTip = useBigChar = imeCtrl = 0;
    windowWidth = windowHeight = savePosition = 0;
}

int ParseDecimal(const char* text) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (*p == ' ' || (*p >= 0x09 && *p <= 0x0D)) ++p;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    long long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) return static_cast<int>(-value);
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

bool ParseLegacyLine(const StrBuf& line, LegacySettings& settings, CommandList& commands) {
    StrBuf keyword;
    if (!line.NextToken(keyword, kBlanks, true)) return false;
    StrBuf rest;
    if (!rest.Assign(line)) return false;
    rest.Erase(0, keyword.Length());
    rest.TrimLeft();
    rest.TrimRight();

    struct NumberOption {
        const char* name;
        int LegacySettings::*field;
    };
    static const NumberOption kNumbers[] = {
        {"#TabNum", &LegacySettings::tabCount},     {"#HistoryMaxNum", &LegacySettings::historyMax},
        {"#ToolTip", &LegacySettings::toolTip},     {"#UseBigChar", &LegacySettings::useBigChar},
        {"#ImeCtrl", &LegacySettings::imeCtrl},     {"#SavePosition", &LegacySettings::savePosition},
    };

    if (IsKeyword(keyword, "#HotKey")) {
        // Modifiers, one separator byte assumed, key code: the first two
        // bytes are dropped before the key code is read.
        settings.hotKeyModifiers = ParseDecimal(rest.Text());
        rest.Erase(0, 2);
        settings.hotKeyCode = ParseDecimal(rest.Text());
        return true;
    }
    if (IsKeyword(keyword, "#CurrentDir")) return settings.currentDir.Assign(rest);
    for (const NumberOption& option : kNumbers) {
        if (IsKeyword(keyword, option.name)) {
            settings.*option.field = ParseDecimal(rest.Text());
            return true;
        }
    }
    if (IsKeyword(keyword, "#Window")) {
        // A missing number reads as 0, as for the other options.
        StrBuf width, height;
        if (!line.NextToken(width, kBlanks, false) || !line.NextToken(height, kBlanks, false)) return false;
        settings.windowWidth = ParseDecimal(width.Text());
        settings.windowHeight = ParseDecimal(height.Text());
        return true;
    }
    if (keyword.IsEmpty() || rest.IsEmpty()) return true;
    return AddCommand(keyword, rest, commands);
}

LegacyRead ReadLegacySettings(FileObj& file, LegacySettings& settings, CommandList& commands) {
    StrBuf line;
    char* block = static_cast<char*>(MemAlloc(kBlockSize + 1));
    if (!block || !line.Reserve(500)) {
        MemFree(block, kBlockSize + 1);
        return LegacyRead::OutOfMemory;
    }
    LegacyRead result = LegacyRead::Complete;
    int length = 0;  // of line, kept here so that appending stays linear
    while (result == LegacyRead::Complete) {
        MemWipe(block, kBlockSize + 1);
        int got = file.Read(block, kBlockSize);
        if (got < 0) result = LegacyRead::ReadFailed;
        if (got <= 0) break;
        if (got < kBlockSize) block[got++] = '\n';
        for (int i = 0; i < got && result == LegacyRead::Complete; ++i) {
            char c = block[i];
            if (c == '\n') {
                if (!FinishLine(line, settings, commands)) result = LegacyRead::OutOfMemory;
                length = 0;
            } else if (c != '\r' && c != 0 && !line.PutChar(length++, c)) {
                result = LegacyRead::OutOfMemory;
            }
        }
    }
    if (result == LegacyRead::Complete && length > 0 && !FinishLine(line, settings, commands))
        result = LegacyRead::OutOfMemory;
    MemFree(block, kBlockSize + 1);
    return result;
}

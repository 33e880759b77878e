// The legacy reader, through a real file: each case is the file's bytes and
// what was read, written compactly (settings that are not 0, then one
// [name|path|folder|comment] per command, "~" for a field without storage).
#include "convert/legacy_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace {
// A legacy file's bytes read through the real reader and a real file.
struct Reading {
    LegacySettings settings;
    CommandList commands;
    bool ok = false;

    explicit Reading(const std::string& bytes) {
        test::TempDir dir;
        test::WriteBytes(dir / "path.txt", bytes);
        FileObj file;
        ok = file.Open((dir / "path.txt").c_str(), false, false) &&
             ReadLegacySettings(file, settings, commands) == LegacyRead::Complete;
    }
};

std::string Field(const StrBuf& b) { return b.HasStorage() ? std::string(b.Text()) : "~"; }

std::string Describe(const Reading& r) {
    const LegacySettings& s = r.settings;
    std::string out;
    const struct { const char* name; int value; } numbers[] = {
        {"mod", s.hotKeyModifiers}, {"key", s.hotKeyCode}, {"tabs", s.tabCount}, {"hist", s.historyMax},
        {"tip", s.toolTip},         {"big", s.useBigChar}, {"ime", s.imeCtrl},   {"w", s.windowWidth},
        {"h", s.windowHeight},      {"pos", s.savePosition}};
    for (const auto& n : numbers)
        if (n.value) out += std::string(n.name) + "=" + std::to_string(n.value) + " ";
    if (s.currentDir.HasStorage()) out += "dir=" + Field(s.currentDir) + " ";
    for (int i = 0; i < r.commands.Count(); ++i) {
        const CommandEntry& e = r.commands[i];
        out += "[" + Field(e.name) + "|" + Field(e.path) + "|" + Field(e.folder) + "|" + Field(e.comment) + "]";
    }
    return out;
}
}  // namespace

TEST(LegacyReader, ReadsOptionsAndCommands) {
    struct Case { std::string bytes, read; } cases[] = {
        {"Editor  C:\\Tools\\edit.exe [CD:C:\\Work] [Comment:テキストエディタ]",
         "[Editor|C:\\Tools\\edit.exe  |C:\\Work|テキストエディタ]"},
        {"Tool C:\\t.exe [CD:C:\\x", "[Tool|C:\\t.exe |~|~]"},
        {"Tool [CD:C:\\x] C:\\t.exe", "[Tool| C:\\t.exe|C:\\x|~]"},
        {"Tool p [Comment:a] [CD:b]", "[Tool|p  |b|a]"},
        {"Tool p [CD:] [Comment:  spaced  ]", "[Tool|p  ||spaced]"},
        // "]" as the trail byte of a Japanese character does not close a bracket.
        {"Tool p [CD:\x83\x5D] q", "[Tool|p  q|\x83\x5D|~]"},
        {"A p\x83\nB q [Comment:c\x83]\n", "[A|p\x83|~|~][B|q |~|~]"},
        {std::string("Cmd C:\\a\0b.exe\n", 15), "[Cmd|C:\\ab.exe|~|~]"},
        {"#HotKey 12\t65", "mod=12 key=65 "},  // the two bytes before the key code are dropped
        {"#HotKey", ""},
        {"#HotKey -99999999999999999999 5", "mod=-2147483648 key=2147483647 "},  // saturated
        {"#CurrentDir  C:\\Work dir \n#TabNum 3\n#HistoryMaxNum 20\n#ToolTip 1\n#UseBigChar 1\n#ImeCtrl 2\n"
         "#Window  640\t480\n#SavePosition 1\n",
         "tabs=3 hist=20 tip=1 big=1 ime=2 w=640 h=480 pos=1 dir=C:\\Work dir "},
        {"#Window 300", "w=300 "},
        {"#hotkey 1 65\n#Other x\nEditor\n", "[#hotkey|1 65|~|~][#Other|x|~|~]"},
        {"  // note\r\n\r\n#HotKey 3 90\r\nRun C:\\a.exe //x\r\nWeb http://example.com/\nRun C:\\b.exe\r\n"
         "Last C:\\last.exe",
         "mod=3 key=90 [Run|C:\\a.exe //x|~|~][Web|http://example.com/|~|~][Run|C:\\b.exe|~|~][Last|C:\\last.exe|~|~]"},
        {std::string(5000, '\r'), ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        Reading r(c.bytes);
        EXPECT_TRUE(r.ok);
        EXPECT_EQ(Describe(r), c.read) << c.bytes;
    }
}

// Long values are checked whole through the conversion. A line is read byte
// by byte into a buffer that doubles, so a long one takes few allocations.
TEST(LegacyReader, LastLinesAtBlockBoundariesAndLongLines) {
    for (int size : {1023, 1024, 1025, 2048}) {  // the last line has no LF
        std::string bytes = "Fill " + std::string(size - 16, 'x') + "\nEnd C:\\e";
        bytes += std::string(size - bytes.size(), 'e');
        EXPECT_EQ(Reading(bytes).commands.Count(), 2) << size;
    }
    test::AllocFailure counting(0);  // fails none, counts all
    EXPECT_EQ(Reading("Long C:\\" + std::string(1 << 16, 'x')).commands.Count(), 1);
    EXPECT_LT(alloc_fault::Count(), 50);
}

#include "convert/legacy_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "convert/reading.h"
#include "test_support.h"

using test::Reading;

namespace {
// One line through the interpreter.
struct Parsed {
    LegacySettings settings;
    CommandList commands;
    explicit Parsed(const char* line) {
        StrBuf b;
        b.Assign(line);
        ParseLegacyLine(b, settings, commands);
    }
    const CommandEntry& Only() const { return commands[0]; }
};

std::string FieldOf(const StrBuf& b) { return b.HasStorage() ? std::string(b.Text()) : "<none>"; }
}  // namespace

TEST(LegacyReader, CommandLineWithBothBrackets) {
    Parsed p("Editor  C:\\Tools\\edit.exe [CD:C:\\Work] [Comment:テキストエディタ]");
    ASSERT_EQ(p.commands.Count(), 1);
    EXPECT_EQ(FieldOf(p.Only().name), "Editor");
    EXPECT_EQ(FieldOf(p.Only().path), "C:\\Tools\\edit.exe  ");
    EXPECT_EQ(FieldOf(p.Only().folder), "C:\\Work");
    EXPECT_EQ(FieldOf(p.Only().comment), "テキストエディタ");
}

TEST(LegacyReader, BracketCases) {
    struct Case {
        const char* line;
        const char* path;
        const char* folder;
        const char* comment;
    } cases[] = {
        {"Tool C:\\t.exe [CD:]", "C:\\t.exe ", "", "<none>"},
        {"Tool C:\\t.exe [CD:C:\\x", "C:\\t.exe ", "<none>", "<none>"},
        {"Tool [CD:C:\\x] C:\\t.exe", " C:\\t.exe", "C:\\x", "<none>"},
        {"Tool p [Comment:a] [CD:b]", "p  ", "b", "a"},
        {"Tool p [Comment:  spaced  ]", "p ", "<none>", "spaced"},
        {"Tool p [Comment:open", "p ", "<none>", "<none>"},
        // "]" as the trail byte of a Japanese character does not close the bracket.
        {"Tool p [CD:\x83\x5D] q", "p  q", "\x83\x5D", "<none>"},
    };
    for (const Case& c : cases) {
        Parsed p(c.line);
        ASSERT_EQ(p.commands.Count(), 1) << c.line;
        EXPECT_EQ(FieldOf(p.Only().path), c.path) << c.line;
        EXPECT_EQ(FieldOf(p.Only().folder), c.folder) << c.line;
        EXPECT_EQ(FieldOf(p.Only().comment), c.comment) << c.line;
    }
}

TEST(LegacyReader, HotKeyDropsTwoBytesBeforeTheKeyCode) {
    EXPECT_EQ(Parsed("#HotKey 6 65").settings.hotKeyModifiers, 6);
    EXPECT_EQ(Parsed("#HotKey 6 65").settings.hotKeyCode, 65);
    EXPECT_EQ(Parsed("#HotKey 3\t112").settings.hotKeyCode, 112);
    Parsed twelve("#HotKey 12 65");
    EXPECT_EQ(twelve.settings.hotKeyModifiers, 12);
    EXPECT_EQ(twelve.settings.hotKeyCode, 65);
    Parsed none("#HotKey");
    EXPECT_EQ(none.settings.hotKeyModifiers, 0);
    EXPECT_EQ(none.settings.hotKeyCode, 0);
    // Out-of-range numbers saturate instead of overflowing.
    Parsed huge("#HotKey -99999999999999999999 5");
    EXPECT_EQ(huge.settings.hotKeyModifiers, -2147483647 - 1);
    EXPECT_EQ(huge.settings.hotKeyCode, 2147483647);  // "-9" dropped, the rest is huge
    EXPECT_EQ(none.commands.Count(), 0);
}

TEST(LegacyReader, OptionLines) {
    LegacySettings s;
    CommandList commands;
    const char* lines[] = {"#CurrentDir  C:\\Work dir ", "#TabNum 3",      "#HistoryMaxNum 20", "#ToolTip 1",
                           "#UseBigChar 1",              "#ImeCtrl 2",     "#Window  640\t480", "#SavePosition 1"};
    for (const char* line : lines) {
        StrBuf b;
        b.Assign(line);
        ASSERT_TRUE(ParseLegacyLine(b, s, commands));
    }
    EXPECT_STREQ(s.currentDir.Text(), "C:\\Work dir");
    EXPECT_EQ(s.tabCount, 3);
    EXPECT_EQ(s.historyMax, 20);
    EXPECT_EQ(s.toolTip, 1);
    EXPECT_EQ(s.useBigChar, 1);
    EXPECT_EQ(s.imeCtrl, 2);
    EXPECT_EQ(s.windowWidth, 640);
    EXPECT_EQ(s.windowHeight, 480);
    EXPECT_EQ(s.savePosition, 1);
    EXPECT_EQ(commands.Count(), 0);
    Parsed shortWindow("#Window 300");
    EXPECT_EQ(shortWindow.settings.windowWidth, 300);
    EXPECT_EQ(shortWindow.settings.windowHeight, 0);
}

TEST(LegacyReader, KeywordsAreCaseSensitiveAndUnknownOnesAreCommands) {
    Parsed lower("#hotkey 1 65");
    ASSERT_EQ(lower.commands.Count(), 1);
    EXPECT_EQ(FieldOf(lower.Only().name), "#hotkey");
    EXPECT_EQ(FieldOf(lower.Only().path), "1 65");
    EXPECT_EQ(lower.settings.hotKeyCode, 0);
    EXPECT_EQ(Parsed("#Other x").commands.Count(), 1);
    EXPECT_EQ(Parsed("Editor").commands.Count(), 0);
}

TEST(LegacyReader, WholeFileCommentsBlankLinesAndLineEnds) {
    Reading r(
        "  // note\r\n"
        "\r\n"
        "#HotKey 3 90\r\n"
        "Run C:\\a.exe //x\r\n"
        "Web http://example.com/\n"
        "Run C:\\b.exe\r"
        "\n"
        "Last C:\\last.exe");  // no final LF
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.settings.hotKeyModifiers, 3);
    EXPECT_EQ(r.settings.hotKeyCode, 90);
    ASSERT_EQ(r.commands.Count(), 4);
    EXPECT_EQ(FieldOf(r.commands[0].path), "C:\\a.exe //x");
    EXPECT_EQ(FieldOf(r.commands[1].path), "http://example.com/");
    EXPECT_EQ(FieldOf(r.commands[2].name), "Run");  // same name twice: two entries
    EXPECT_EQ(FieldOf(r.commands[3].path), "C:\\last.exe");
}

TEST(LegacyReader, LastLineWithoutLineFeedAtEveryBlockBoundary) {
    // Files of 1023, 1024 and 1025 bytes whose last line has no LF.
    for (int size : {1023, 1024, 1025, 2048}) {
        std::string head = "#HotKey 1 65\n";
        std::string filler = "Fill " + std::string(size - head.size() - 5 - 10, 'x') + "\n";
        std::string tail = "End C:\\e";  // grows to fill the size exactly
        std::string bytes = head + filler + tail;
        bytes += std::string(size - bytes.size(), 'e');
        ASSERT_EQ(static_cast<int>(bytes.size()), size);
        Reading r(bytes);
        ASSERT_TRUE(r.ok);
        ASSERT_EQ(r.commands.Count(), 2) << size;
        EXPECT_EQ(FieldOf(r.commands[1].name), "End") << size;
    }
}

TEST(LegacyReader, HostileBytesAreReadSafely) {
    std::string nul("Cmd C:\\a\0b.exe\n", 15);
    Reading withNul(nul);
    ASSERT_EQ(withNul.commands.Count(), 1);
    EXPECT_EQ(FieldOf(withNul.commands[0].path), "C:\\ab.exe");

    Reading crs(std::string(5000, '\r'));
    EXPECT_TRUE(crs.ok);
    EXPECT_EQ(crs.commands.Count(), 0);

    Reading lone("Cmd C:\\x\x83");
    ASSERT_EQ(lone.commands.Count(), 1);
    EXPECT_EQ(FieldOf(lone.commands[0].path), "C:\\x\x83");

    Reading loneInBracket("Cmd p [CD:\x83");
    ASSERT_EQ(loneInBracket.commands.Count(), 1);
    EXPECT_EQ(FieldOf(loneInBracket.commands[0].folder), "<none>");

    Reading empty("");
    EXPECT_TRUE(empty.ok);
    EXPECT_EQ(empty.commands.Count(), 0);
}

TEST(LegacyReader, EveryAllocationFailureIsReportedAndSafe) {
    std::string bytes = "#HotKey 3 90\n#Window 400 300\n";
    for (int i = 0; i < 40; ++i)
        bytes += "Cmd" + std::to_string(i) + " C:\\tools\\t" + std::to_string(i) + ".exe [CD:C:\\w] [Comment:メモ]\n";
    test::TempDir dir;
    std::string path = dir.File("path.txt");
    test::WriteBytes(path, bytes);

    long total = 0;
    {
        LegacySettings s;
        CommandList c;
        FileObj f;
        ASSERT_TRUE(f.Open(path.c_str(), false, false));
        test::AllocFailure count(0);
        ASSERT_TRUE(ReadLegacySettings(f, s, c));
        total = alloc_fault::Count();
        ASSERT_EQ(c.Count(), 40);
    }
    ASSERT_GT(total, 100);
    for (long k = 1; k <= total; ++k) {
        LegacySettings s;
        CommandList c;
        FileObj f;
        ASSERT_TRUE(f.Open(path.c_str(), false, false));
        test::AllocFailure fail(k);
        bool ok = ReadLegacySettings(f, s, c);
        ASSERT_TRUE(alloc_fault::Injected());
        EXPECT_FALSE(ok) << "allocation " << k << " failed unreported";
        // Whatever was read completely is intact.
        for (int i = 0; i < c.Count() - 1; ++i)
            ASSERT_EQ(FieldOf(c[i].name), "Cmd" + std::to_string(i)) << "allocation " << k;
    }
}

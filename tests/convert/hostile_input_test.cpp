// Broken and hostile legacy files: each ends with a stated outcome, and
// nothing is read or written outside storage (the sanitizers watch).
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "convert/convert_job.h"
#include "convert/conversion_test.h"
#include "convert/reading.h"
#include "test_support.h"

namespace {
class Hostile : public test::ConversionTest {
protected:
    test::Ini Commands() { return test::ParseIni(Cmd()); }
};}  // namespace

TEST_F(Hostile, EmptyFileAndHotKeysWithoutNumbersAreNotSettingsFiles) {
    EXPECT_EQ(Convert(""), ConvertResult::NotSettingsFile);
    EXPECT_EQ(Convert("#HotKey\n#HotKey x y\n"), ConvertResult::NotSettingsFile);
    EXPECT_EQ(Convert(std::string(70000, '\r')), ConvertResult::NotSettingsFile);
    EXPECT_EQ(test::ReadBytes(dir.File("vaxu.ini")), "<missing>");
}

TEST_F(Hostile, BinaryGarbageEndsCleanly) {
    std::mt19937 random(20261206);
    for (int round = 0; round < 20; ++round) {
        std::string bytes(4096 + round * 997, '\0');
        for (char& c : bytes) c = static_cast<char>(random());
        ConvertResult r = Convert(bytes);
        EXPECT_TRUE(r == ConvertResult::NotSettingsFile || r == ConvertResult::Converted) << round;
    }
}

TEST_F(Hostile, HugeHotKeyNumbersSaturate) {
    ASSERT_EQ(Convert("#HotKey 99999999999 5\n"), ConvertResult::Converted);
    test::Ini ini = test::ParseIni(test::ReadBytes(dir.File("vaxu.ini")));
    // 2147483647 has bits 0, 1 and 2 set; the key code is read after two
    // dropped bytes, from "999999999 5".
    EXPECT_EQ(test::KeysOf(ini, "HotKey"),
              (std::vector<std::string>{"ALT=1", "Shift=1", "Ctrl=1", "Key=999999999"}));
}

TEST_F(Hostile, OneMebibyteLineWithBracketsFarPastSixteenBitPositions) {
    const std::string path(1 << 20, 'p');
    test::Reading r("Big " + path + " [CD:C:\\deep] [Comment:end]");
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.commands.Count(), 1);
    EXPECT_EQ(r.commands[0].path.Text(), path + "  ");
    EXPECT_STREQ(r.commands[0].folder.Text(), "C:\\deep");
    EXPECT_STREQ(r.commands[0].comment.Text(), "end");
}

TEST_F(Hostile, LoneLeadBytesAtTheEndOfALineAndOfABracket) {
    const std::string bytes = "#HotKey 1 65\nA p\x83\nB q [Comment:c\x83]\nC r\n";
    ASSERT_EQ(Convert(bytes), ConvertResult::Converted);
    test::Reading r(bytes);
    const CommandList& commands = r.commands;
    ASSERT_EQ(commands.Count(), 3);
    EXPECT_STREQ(commands[0].path.Text(), "p\x83");
    // The lead byte takes the "]" as its trail byte: the bracket never closes.
    EXPECT_STREQ(commands[1].path.Text(), "q ");
    EXPECT_FALSE(commands[1].comment.HasStorage());
    EXPECT_STREQ(commands[2].name.Text(), "C");
}

TEST_F(Hostile, HundredThousandCommandLinesAreRead) {
    std::string bytes = "#HotKey 1 65\n";
    for (int i = 0; i < 100000; ++i) bytes += "Cmd" + std::to_string(i) + " C:\\tools\\t.exe [CD:C:\\w]\n";
    test::Reading r(bytes);
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.commands.Count(), 100000);
    EXPECT_STREQ(r.commands[99999].name.Text(), "Cmd99999");
    EXPECT_EQ(r.commands.Capacity(), 131072);
}

TEST_F(Hostile, AllocationFailuresAcrossARealisticConversion) {
    std::string legacy = "// settings\r\n#HotKey 6 86\r\n#HistoryMaxNum 20\r\n#Window 480 320\r\n";
    for (int i = 0; i < 25; ++i)
        legacy += "コマンド" + std::to_string(i) + " C:\\Program Files\\tool" + std::to_string(i) +
                  ".exe [CD:C:\\作業] [Comment:説明" + std::to_string(i) + "]\r\n";
    const std::string old = "[Old]\r\nPATH=C:\\old.exe\r\n";
    auto reset = [&] {
        test::WriteBytes(dir.File("vaxu_cmd.txt"), old);
        std::remove(dir.File("vaxu_cmd.txt.bak").c_str());
        test::WriteBytes(source, legacy);
        job.sourcePath.Assign(source.c_str());
    };
    reset();
    ASSERT_EQ(job.RunConversion(), ConvertResult::Converted);  // the command list keeps its storage from here on
    reset();
    long total;
    {
        test::AllocFailure count(0);
        ASSERT_EQ(job.RunConversion(), ConvertResult::Converted);
        total = alloc_fault::Count();
    }
    long failures = 0;
    for (long k = 1; k <= total; ++k) {
        reset();
        ConvertResult r;
        {
            test::AllocFailure fail(k);
            r = job.RunConversion();
            failures += alloc_fault::Injected();
        }
        if (r != ConvertResult::Converted) EXPECT_EQ(test::ReadBytes(dir.File("vaxu_cmd.txt")), old) << k;
        EXPECT_NE(r, ConvertResult::NotSettingsFile) << "memory exhaustion is no verdict on the file, " << k;
        if (r == ConvertResult::Converted) {
            EXPECT_EQ(Commands().size(), 25u) << k;
        } else {
            EXPECT_TRUE(job.sourcePath.IsEmpty());
        }
    }
    std::printf("allocation failures injected over one conversion: %ld\n", failures);
    EXPECT_EQ(failures, total);
}

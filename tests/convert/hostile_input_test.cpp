// Broken and hostile legacy files converted: each ends with a stated
// outcome, and nothing is read or written outside storage (the sanitizers
// watch).
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "convert/conversion_test.h"

using Hostile = test::ConversionTest;

TEST_F(Hostile, GarbageAndHotKeysWithoutNumbersEndCleanly) {
    for (const std::string& bytes : {std::string(), std::string("#HotKey\n#HotKey x y\n"), std::string(70000, '\r')})
        EXPECT_EQ(Convert(bytes), ConvertResult::NotSettingsFile);
    EXPECT_EQ(Ini(), "<missing>");
    std::mt19937 random(20261206);
    for (int round = 0; round < 20; ++round) {
        std::string bytes(4096 + round * 997, '\0');
        for (char& c : bytes) c = static_cast<char>(random());
        ConvertResult r = Convert(bytes);
        EXPECT_TRUE(r == ConvertResult::NotSettingsFile || r == ConvertResult::Converted) << round;
    }
    // 2147483647 sets bits 0, 1 and 2; the key code is read after two dropped bytes.
    ASSERT_EQ(Convert("#HotKey 99999999999 5\n"), ConvertResult::Converted);
    EXPECT_EQ(Ini().substr(0, 49), "[HotKey]\r\nALT=1\r\nShift=1\r\nCtrl=1\r\nKey=999999999\r\n");
}

TEST_F(Hostile, AllocationFailuresAcrossARealisticConversion) {
    std::string legacy = "// settings\r\n#HotKey 6 86\r\n#HistoryMaxNum 20\r\n#Window 480 320\r\n";
    for (int i = 0; i < 25; ++i)
        legacy += "コマンド" + std::to_string(i) + " C:\\Program Files\\tool" + std::to_string(i) +
                  ".exe [CD:C:\\作業] [Comment:説明" + std::to_string(i) + "]\r\n";
    const std::string ini = "[VAXU]\r\nTheme=dark\r\n", cmd = "[Old]\r\nPATH=C:\\old.exe\r\n";
    auto reset = [&] {
        test::WriteBytes(dir.File("vaxu.ini"), ini);
        test::WriteBytes(dir.File("vaxu_cmd.txt"), cmd);
        Prepare(legacy);
    };
    reset();
    ASSERT_EQ(Convert(legacy), ConvertResult::Converted);  // the command list keeps its storage from here on
    const std::string converted = Cmd();
    reset();
    long total;
    {
        test::AllocFailure count(0);
        ASSERT_EQ(job.RunConversion(), ConvertResult::Converted);
        total = alloc_fault::Count();
    }
    for (long k = 1; k <= total; ++k) {
        reset();
        test::AllocFailure fail(k);
        ConvertResult r = job.RunConversion();
        ASSERT_TRUE(alloc_fault::Injected());
        EXPECT_NE(r, ConvertResult::NotSettingsFile) << "memory exhaustion is no verdict on the file, " << k;
        EXPECT_EQ(Cmd(), r == ConvertResult::Converted ? converted : cmd) << k;
        if (r != ConvertResult::Converted) EXPECT_EQ(Ini(), ini) << k;
        if (r != ConvertResult::Converted) EXPECT_TRUE(job.sourcePath.IsEmpty()) << k;
    }
}

#include "convert/convert_job.h"

#include <gtest/gtest.h>

#include "convert/conversion_test.h"
#include "convert/step_fault.h"
#include "test_support.h"

using test::KeysOf;
using test::ParseIni;
using Lines = std::vector<std::string>;

namespace {
const char kExample[] =
    "#HotKey 3 90\r\n"
    "#Window 400 300\r\n"
    "Mail C:\\mail.exe [Comment:メール]\r\n";

using Conversion = test::ConversionTest;

std::string ReadBytesOr(const std::string& path, const std::string& missing) {
    std::string bytes = test::ReadBytes(path);
    return bytes == "<missing>" ? missing : bytes;
}
}  // namespace

TEST_F(Conversion, ExampleGivesExactlyTheStatedFiles) {
    ASSERT_EQ(Convert(kExample), ConvertResult::Converted);
    test::Ini ini = ParseIni(Ini());
    ASSERT_EQ(ini.size(), 2u);
    EXPECT_EQ(KeysOf(ini, "HotKey"), (Lines{"ALT=1", "Shift=0", "Ctrl=1", "Key=90"}));
    EXPECT_EQ(KeysOf(ini, "VAXU"), (Lines{"History=0", "ToolTip=0", "ImeCtrl=0", "WndWidth=400", "WndHeight=300",
                                          "SavePosition=0"}));
    EXPECT_EQ(Cmd(), "[Mail]\r\nPATH=C:\\mail.exe \r\nCOMMENT=メール\r\n");
    EXPECT_EQ(Bak(), "<missing>");
    EXPECT_STREQ(job.sourcePath.Text(), source.c_str());
}

TEST_F(Conversion, HotKeyBitsAndAllOptions) {
    ASSERT_EQ(Convert("#HotKey 4 112\n#HistoryMaxNum 30\n#ToolTip 1\n#ImeCtrl 2\n#SavePosition 1\n"
                      "#TabNum 5\n#UseBigChar 1\n#CurrentDir C:\\x\n"),
              ConvertResult::Converted);
    test::Ini ini = ParseIni(Ini());
    EXPECT_EQ(KeysOf(ini, "HotKey"), (Lines{"ALT=0", "Shift=1", "Ctrl=0", "Key=112"}));
    EXPECT_EQ(KeysOf(ini, "VAXU"), (Lines{"History=30", "ToolTip=1", "ImeCtrl=2", "WndWidth=0", "WndHeight=0",
                                          "SavePosition=1"}));
}

TEST_F(Conversion, FilesWithoutAUsableHotKeyAreRejectedAndNothingIsWritten) {
    for (const char* legacy : {"", "#HotKey 0 0\nTool C:\\t.exe\n", "Mail C:\\m.exe\n"}) {
        EXPECT_EQ(Convert(legacy), ConvertResult::NotSettingsFile) << legacy;
        EXPECT_TRUE(job.sourcePath.IsEmpty());
        EXPECT_EQ(Ini(), "<missing>");
    }
    EXPECT_EQ(job.commands.Count(), 1) << "the commands read stay until the next run";
    EXPECT_EQ(Convert("#HotKey 0 65\n"), ConvertResult::Converted);
    EXPECT_EQ(Convert("#HotKey 2 0\n"), ConvertResult::Converted);
}

TEST_F(Conversion, MissingOrLockedSourceIsNotASettingsFile) {
    job.sourcePath.Assign(legacyDir.File("missing.txt").c_str());
    EXPECT_EQ(job.RunConversion(), ConvertResult::NotSettingsFile);
    EXPECT_TRUE(job.sourcePath.IsEmpty());
    EXPECT_TRUE(job.sourcePath.HasStorage());
}

TEST_F(Conversion, OldCommandFileMovesToTheBackupAndIsRebuiltFromScratch) {
    const std::string old = "[Old]\r\nPATH=C:\\old.exe\r\n";
    test::WriteBytes(dir.File("vaxu_cmd.txt"), old);
    test::WriteBytes(dir.File("vaxu_cmd.txt.bak"), "older backup");
    test::WriteBytes(dir.File("vaxu.ini"), "[Other]\r\nx=1\r\n[VAXU]\r\nTheme=dark\r\nHistory=5\r\n");
    ASSERT_EQ(Convert(kExample), ConvertResult::Converted);
    EXPECT_EQ(Bak(), old);
    test::Ini cmd = ParseIni(Cmd());
    ASSERT_EQ(cmd.size(), 1u);
    EXPECT_EQ(cmd[0].name, "Mail");
    test::Ini ini = ParseIni(Ini());
    EXPECT_EQ(KeysOf(ini, "Other"), (Lines{"x=1"}));
    EXPECT_EQ(KeysOf(ini, "VAXU")[0], "Theme=dark");
    EXPECT_EQ(KeysOf(ini, "VAXU")[1], "History=0");
}

TEST_F(Conversion, NoCommandLinesStillWritesSettingsAndMovesTheOldCommandFile) {
    test::WriteBytes(dir.File("vaxu_cmd.txt"), "[Old]\r\nPATH=x\r\n");
    ASSERT_EQ(Convert("#HotKey 1 65\n"), ConvertResult::Converted);
    EXPECT_NE(Ini(), "<missing>");
    EXPECT_EQ(Cmd(), "<missing>");
    EXPECT_EQ(Bak(), "[Old]\r\nPATH=x\r\n");
}

TEST_F(Conversion, SameNameEntriesShareASectionAndLaterOnesRemoveMissingKeys) {
    ASSERT_EQ(Convert("#HotKey 1 65\n"
                      "Tool C:\\a.exe [CD:C:\\w] [Comment:first]\n"
                      "Other C:\\o.exe [CD:]\n"
                      "Tool C:\\b.exe\n"),
              ConvertResult::Converted);
    EXPECT_EQ(Cmd(), "[Tool]\r\nPATH=C:\\b.exe\r\n[Other]\r\nPATH=C:\\o.exe \r\nFOLDER=\r\n");
}

TEST_F(Conversion, ASecondRunStartsFromEmptySettingsAndCommands) {
    ASSERT_EQ(Convert("#HotKey 1 65\n#Window 640 480\nA a\nB b\n"), ConvertResult::Converted);
    ASSERT_EQ(job.commands.Count(), 2);
    ASSERT_EQ(Convert("#HotKey 2 66\nC c\n"), ConvertResult::Converted);
    ASSERT_EQ(job.commands.Count(), 1);
    EXPECT_EQ(job.Settings().windowWidth, 0);
    EXPECT_EQ(KeysOf(ParseIni(Ini()), "VAXU")[3], "WndWidth=0");
    EXPECT_EQ(ParseIni(Cmd()).size(), 1u);
}

TEST_F(Conversion, WriteFailureIsReportedAndTheOldCommandFileStays) {
    // No install folder: nothing can be written.
    job.installFolder.Assign((dir.File("missing") + dir.Path().back()).c_str());
    EXPECT_EQ(Convert(kExample), ConvertResult::NotSaved);
    EXPECT_TRUE(job.sourcePath.IsEmpty());
}

TEST_F(Conversion, BackupThatCannotBeMadeKeepsTheOldCommandFileInPlace) {
    const std::string old = "[Old]\r\nPATH=C:\\old.exe\r\n";
    test::WriteBytes(dir.File("vaxu_cmd.txt"), old);
    // A folder where the backup should go: the copy must fail.
    std::filesystem::create_directory(dir.File("vaxu_cmd.txt.bak"));
    EXPECT_EQ(Convert(kExample), ConvertResult::NotSaved);
    EXPECT_EQ(Cmd(), old);
}

TEST_F(Conversion, AFortyThousandBytePathIsWrittenWhole) {
    const std::string path = "C:\\" + std::string(40000, 'x') + ".exe";
    ASSERT_EQ(Convert("#HotKey 1 65\r\nLong " + path + " [Comment:c]\r\n"), ConvertResult::Converted);
    EXPECT_EQ(Cmd(), "[Long]\r\nPATH=" + path + " \r\nCOMMENT=c\r\n");
}

TEST_F(Conversion, AnInstallFolderWithoutItsSeparatorGetsOne) {
    std::string folder = dir.File("ソ");  // ends in the trail byte 0x5C
    ASSERT_TRUE(test::MakeFolder(folder));
    job.installFolder.Assign(folder.c_str());
    ASSERT_EQ(Convert(kExample), ConvertResult::Converted);
    EXPECT_NE(test::ReadBytes(folder + "\\vaxu.ini"), "<missing>");
    EXPECT_EQ(test::ReadBytes(folder + "vaxu.ini"), "<missing>") << "never beside the folder";
}

// Every step of the save made to fail in turn, on real files: the launcher's
// two files stay byte for byte as they were and no temporary file is left.
TEST_F(Conversion, AFailureAtAnyStepLeavesBothFilesAsTheyWere) {
    const std::string ini = "[VAXU]\r\nTheme=dark\r\n", cmd = "[Old]\r\nPATH=C:\\old.exe\r\n";
    for (bool existed : {true, false}) {
        long k = 1;
        for (;; ++k) {
            for (const char* f : {"vaxu.ini", "vaxu_cmd.txt", "vaxu_cmd.txt.bak"}) std::remove(dir.File(f).c_str());
            if (existed) test::WriteBytes(dir.File("vaxu.ini"), ini), test::WriteBytes(dir.File("vaxu_cmd.txt"), cmd);
            step_fault::Arm(k);
            ConvertResult r = Convert(kExample);
            bool injected = step_fault::Injected();
            step_fault::Disarm();
            if (!injected) {
                EXPECT_EQ(r, ConvertResult::Converted);
                break;
            }
            EXPECT_EQ(r, ConvertResult::NotSaved) << k;
            EXPECT_EQ(Ini(), existed ? ini : "<missing>") << k;
            EXPECT_EQ(Cmd(), existed ? cmd : "<missing>") << k;
            EXPECT_EQ(ReadBytesOr(dir.File("vaxu_cmd.txt.bak"), cmd), cmd) << "only ever a copy, step " << k;
            for (const char* f : {"vaxu.ini.tmp", "vaxu_cmd.txt.tmp"}) EXPECT_FALSE(test::Exists(dir.File(f))) << k;
        }
        EXPECT_GT(k, existed ? 16 : 15) << "every vaxu.ini key and each file step was tried";
    }
}

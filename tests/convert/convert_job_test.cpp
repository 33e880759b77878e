// Conversion runs on real files: whole files checked against byte literals.
// Under Wine also against files that other programs hold open.
#include "convert/convert_job.h"

#include <gtest/gtest.h>

#include <string>

#include "convert/step_fault.h"
#include "test_support.h"
#ifdef _WIN32
#include <windows.h>
#endif

namespace {
const char kExample[] = "#HotKey 3 90\r\n#Window 400 300\r\nMail C:\\mail.exe [Comment:メール]\r\n";
const char kExampleIni[] =
    "[HotKey]\r\nALT=1\r\nShift=0\r\nCtrl=1\r\nKey=90\r\n"
    "[VAXU]\r\nHistory=0\r\nToolTip=0\r\nImeCtrl=0\r\nWndWidth=400\r\nWndHeight=300\r\nSavePosition=0\r\n";
const char kExampleCmd[] = "[Mail]\r\nPATH=C:\\mail.exe \r\nCOMMENT=メール\r\n";
const char kOldIni[] = "[Other]\r\nx=1\r\n[VAXU]\r\nTheme=dark\r\nHistory=5\r\n";
// kExample's settings written into kOldIni: other keys stay.
const char kMergedIni[] =
    "[Other]\r\nx=1\r\n[VAXU]\r\nTheme=dark\r\nHistory=0\r\nToolTip=0\r\nImeCtrl=0\r\nWndWidth=400\r\n"
    "WndHeight=300\r\nSavePosition=0\r\n[HotKey]\r\nALT=1\r\nShift=0\r\nCtrl=1\r\nKey=90\r\n";
const char kOldCmd[] = "[Old]\r\nPATH=C:\\old.exe\r\n";
const char kMissing[] = "<missing>";

// A job with an empty install folder and a legacy file of its own.
class Conversion : public ::testing::Test {
protected:
    void SetUp() override {
        job.Init();
        job.installFolder.Assign(dir.Path().c_str());
    }
    void TearDown() override { job.Teardown(); }

    void PutOldFiles() {
        test::WriteBytes(dir.File("vaxu.ini"), kOldIni);
        test::WriteBytes(dir.File("vaxu_cmd.txt"), kOldCmd);
    }
    void Prepare(const std::string& legacy) {
        test::WriteBytes(source, legacy);
        job.sourcePath.Assign(source.c_str());
    }
    ConvertResult Convert(const std::string& legacy) {
        Prepare(legacy);
        return job.RunConversion();
    }
    std::string Ini() { return test::ReadBytes(dir.File("vaxu.ini")); }
    std::string Cmd() { return test::ReadBytes(dir.File("vaxu_cmd.txt")); }
    std::string Bak() { return test::ReadBytes(dir.File("vaxu_cmd.txt.bak")); }

    test::TempDir dir, legacyDir;
    std::string source = legacyDir.File("path.txt");
    ConvertJob job;
};
}  // namespace

TEST_F(Conversion, WritesBothFilesAndBacksUpTheOldCommandFile) {
    ASSERT_EQ(Convert(kExample), ConvertResult::Converted);
    EXPECT_EQ(Ini(), kExampleIni);
    EXPECT_EQ(Cmd(), kExampleCmd);
    EXPECT_EQ(Bak(), kMissing);
    EXPECT_STREQ(job.sourcePath.Text(), source.c_str());

    PutOldFiles();
    test::WriteBytes(dir.File("vaxu_cmd.txt.bak"), "older backup");
    ASSERT_EQ(Convert("#HotKey 4 112\n#HistoryMaxNum 30\n#ToolTip 2\n#ImeCtrl 2\n#SavePosition 1\n#TabNum 5\n"
                      "Tool C:\\a.exe [CD:C:\\w] [Comment:first]\nOther C:\\o.exe [CD:]\nTool C:\\b.exe\n"),
              ConvertResult::Converted);
    EXPECT_EQ(Ini(), "[Other]\r\nx=1\r\n[VAXU]\r\nTheme=dark\r\nHistory=30\r\nToolTip=2\r\nImeCtrl=2\r\nWndWidth=0\r\n"
                     "WndHeight=0\r\nSavePosition=1\r\n[HotKey]\r\nALT=0\r\nShift=1\r\nCtrl=0\r\nKey=112\r\n");
    EXPECT_EQ(Cmd(), "[Tool]\r\nPATH=C:\\b.exe\r\n[Other]\r\nPATH=C:\\o.exe \r\nFOLDER=\r\n");
    EXPECT_EQ(Bak(), kOldCmd);
    EXPECT_EQ(job.commands.Count(), 3);

    // No command lines: the old command file goes to the backup, none replaces it.
    ASSERT_EQ(Convert("#HotKey 1 65\n"), ConvertResult::Converted);
    EXPECT_EQ(Cmd(), kMissing);
    EXPECT_EQ(Bak(), "[Tool]\r\nPATH=C:\\b.exe\r\n[Other]\r\nPATH=C:\\o.exe \r\nFOLDER=\r\n");
    EXPECT_EQ(Ini(), "[Other]\r\nx=1\r\n[VAXU]\r\nTheme=dark\r\nHistory=0\r\nToolTip=0\r\nImeCtrl=0\r\nWndWidth=0\r\n"
                     "WndHeight=0\r\nSavePosition=0\r\n[HotKey]\r\nALT=1\r\nShift=0\r\nCtrl=0\r\nKey=65\r\n")
        << "options the file lacks are 0, whatever the file before held";
}

TEST_F(Conversion, RefusesFilesWithoutAUsableHotKeyAndWritesNothing) {
    for (const std::string& legacy : {std::string(), std::string("#HotKey\n#HotKey x y\n"), std::string(70000, '\r'),
                                      std::string("#HotKey 0 0\nTool C:\\t.exe\n"), std::string("Mail C:\\m.exe\n")}) {
        EXPECT_EQ(Convert(legacy), ConvertResult::NotSettingsFile) << legacy;
        EXPECT_TRUE(job.sourcePath.IsEmpty());
        EXPECT_EQ(Ini(), kMissing);
    }
    EXPECT_EQ(job.commands.Count(), 1) << "the commands read stay until the next run";
    // 2147483647 sets bits 0, 1 and 2; the key code is read after two dropped bytes.
    ASSERT_EQ(Convert("#HotKey 99999999999 5\n"), ConvertResult::Converted);
    EXPECT_EQ(Ini().substr(0, 49), "[HotKey]\r\nALT=1\r\nShift=1\r\nCtrl=1\r\nKey=999999999\r\n");
    EXPECT_EQ(Convert("#HotKey 0 65\n"), ConvertResult::Converted);
    EXPECT_EQ(Convert("#HotKey 2 0\n"), ConvertResult::Converted);
    job.sourcePath.Assign(legacyDir.File("missing.txt").c_str());
    EXPECT_EQ(job.RunConversion(), ConvertResult::NotSettingsFile);
    EXPECT_TRUE(job.sourcePath.IsEmpty() && job.sourcePath.HasStorage()) << "wiped, not released";
}

TEST_F(Conversion, LongValuesAndAFolderWithoutItsSeparator) {
    const std::string path = "C:\\" + std::string(70000, 'x') + ".exe";  // over one 64 KiB write
    ASSERT_EQ(Convert("#HotKey 1 65\r\nLong " + path + " [Comment:c]\r\n"), ConvertResult::Converted);
    EXPECT_EQ(Cmd(), "[Long]\r\nPATH=" + path + " \r\nCOMMENT=c\r\n");

    std::string folder = dir.File("ソ");  // ends in the trail byte 0x5C
    ASSERT_TRUE(test::MakeFolder(folder));
    job.installFolder.Assign(folder.c_str());
    ASSERT_EQ(Convert(kExample), ConvertResult::Converted);
    EXPECT_EQ(test::ReadBytes(folder + "\\vaxu_cmd.txt"), kExampleCmd);
    EXPECT_EQ(test::ReadBytes(folder + "vaxu_cmd.txt"), kMissing) << "never beside the folder";
}

// Every step of the save made to fail in turn, on real files, with renames
// working and with every rename refused (as UAC virtualization may refuse
// them): the launcher's two files are either both new or byte for byte as
// they were, and no temporary file is left.
TEST_F(Conversion, AFailureAtAnyStepLeavesBothFilesNewOrAsTheyWere) {
    for (bool renames : {true, false}) {
        for (bool existed : {true, false}) {
            for (long k = 1;; ++k) {
                for (const char* f : {"vaxu.ini", "vaxu_cmd.txt", "vaxu_cmd.txt.bak"}) std::remove(dir.File(f).c_str());
                if (existed) PutOldFiles();
                step_fault::Arm(k);
                if (!renames) step_fault::ForceRenames(FileStatus::Refused, -1);
                const ConvertResult r = Convert(kExample);
                const bool injected = step_fault::Injected();
                step_fault::Disarm();
                const bool converted = r == ConvertResult::Converted;
                EXPECT_TRUE(converted || r == ConvertResult::NotSaved) << k;
                EXPECT_EQ(Ini(), converted ? (existed ? kMergedIni : kExampleIni) : existed ? kOldIni : kMissing)
                    << renames << existed << k;
                EXPECT_EQ(Cmd(), converted ? kExampleCmd : existed ? kOldCmd : kMissing) << renames << existed << k;
                const std::string bak = Bak();
                EXPECT_TRUE(existed ? bak == kOldCmd || (!converted && bak == kMissing) : bak == kMissing)
                    << "only ever a copy of the old file, step " << k;
                for (const char* f : {"vaxu.ini.tmp", "vaxu_cmd.txt.tmp"}) EXPECT_FALSE(test::Exists(dir.File(f))) << k;
                if (!injected) {
                    EXPECT_TRUE(converted);
                    break;
                }
            }
        }
    }
}

// A rename refused outright is done as a copy; one refused while another
// program holds the file for a moment is tried again. A vaxu.ini that
// cannot be read to its end is not replaced by a short copy.
TEST_F(Conversion, RenamesAndReadsThatFailAreHandled) {
    for (auto forced : {std::make_pair(FileStatus::Refused, 1), std::make_pair(FileStatus::Busy, 2)}) {
        PutOldFiles();
        step_fault::ForceRenames(forced.first, forced.second);
        EXPECT_EQ(Convert(kExample), ConvertResult::Converted);
        EXPECT_EQ(step_fault::ForcedRenamesLeft(), 0);
        step_fault::Disarm();
        EXPECT_TRUE(Ini() == kMergedIni && Cmd() == kExampleCmd && Bak() == kOldCmd);
        EXPECT_FALSE(test::Exists(dir.File("vaxu.ini.tmp")) || test::Exists(dir.File("vaxu_cmd.txt.tmp")));
    }
    PutOldFiles();
    step_fault::ForceRenames(FileStatus::Missing, 1);  // the new file was taken away before its rename
    EXPECT_EQ(Convert(kExample), ConvertResult::NotSaved);
    step_fault::Disarm();
    EXPECT_TRUE(Ini() == kOldIni && Cmd() == kOldCmd);
    const std::string big = "[Other]\r\n" + std::string(9000, 'k') + "=1\r\n";
    test::WriteBytes(dir.File("vaxu.ini"), big);
    for (long failing : {1, 3}) {  // the opening, a read part-way
        step_fault::ArmRead(failing);
        EXPECT_EQ(Convert(kExample), ConvertResult::NotSaved);
        step_fault::Disarm();
        EXPECT_TRUE(Ini() == big && Cmd() == kOldCmd) << failing;
    }
}

// Every allocation of a realistic conversion made to fail in turn: the run
// reports it, and the launcher's files are either both new or as they were.
TEST_F(Conversion, AnAllocationFailureAnywhereLeavesBothFilesAsTheyWere) {
    std::string legacy = "// settings\r\n#HotKey 6 86\r\n#HistoryMaxNum 20\r\n#Window 480 320\r\n";
    for (int i = 0; i < 25; ++i)
        legacy += "コマンド" + std::to_string(i) + " C:\\Program Files\\tool" + std::to_string(i) +
                  ".exe [CD:C:\\作業] [Comment:説明" + std::to_string(i) + "]\r\n";
    ASSERT_EQ(Convert(legacy), ConvertResult::Converted);  // the command list keeps its storage from here on
    const std::string convertedCmd = Cmd();
    PutOldFiles();
    long total;
    {
        test::AllocFailure count(0);
        ASSERT_EQ(job.RunConversion(), ConvertResult::Converted);
        total = alloc_fault::Count();
    }
    const std::string convertedIni = Ini();
    for (long k = 1; k <= total; ++k) {
        PutOldFiles();
        Prepare(legacy);
        test::AllocFailure fail(k);
        ConvertResult r = job.RunConversion();
        ASSERT_TRUE(alloc_fault::Injected());
        EXPECT_NE(r, ConvertResult::NotSettingsFile) << "memory exhaustion is no verdict on the file, " << k;
        const bool converted = r == ConvertResult::Converted;
        EXPECT_EQ(Cmd(), converted ? convertedCmd : kOldCmd) << k;
        EXPECT_EQ(Ini(), converted ? convertedIni : kOldIni) << k;
        EXPECT_TRUE(converted || job.sourcePath.IsEmpty()) << k;
    }
}

#ifdef _WIN32
// Files held open by other programs: the run either converts or leaves
// both files as they were. A vaxu.ini that an editor holds open, sharing
// it, is read and then written over in place.
TEST_F(Conversion, FilesHeldByAnotherProgramGiveATruthfulResult) {
    const struct {
        std::string held;
        DWORD share;
        ConvertResult result;
    } cases[] = {
        {source, 0, ConvertResult::NotSettingsFile},
        {dir.File("vaxu.ini"), 0, ConvertResult::NotSaved},
        {dir.File("vaxu.ini"), FILE_SHARE_READ | FILE_SHARE_WRITE, ConvertResult::Converted},
        {dir.File("vaxu_cmd.txt"), FILE_SHARE_READ, ConvertResult::NotSaved},  // readable, not replaceable
        {dir.File("vaxu_cmd.txt.bak"), 0, ConvertResult::NotSaved},
    };
    test::WriteBytes(dir.File("vaxu_cmd.txt.bak"), "older backup");
    for (const auto& c : cases) {
        PutOldFiles();
        Prepare(kExample);
        HANDLE h = CreateFileA(c.held.c_str(), GENERIC_READ, c.share, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        EXPECT_EQ(job.RunConversion(), c.result) << c.held;
        CloseHandle(h);
        const bool converted = c.result == ConvertResult::Converted;
        EXPECT_EQ(Ini(), converted ? kMergedIni : kOldIni) << c.held;
        EXPECT_EQ(Cmd(), converted ? kExampleCmd : kOldCmd) << c.held;
        for (const char* temp : {"vaxu.ini.tmp", "vaxu_cmd.txt.tmp"}) EXPECT_FALSE(test::Exists(dir.File(temp)));
    }
}
#endif

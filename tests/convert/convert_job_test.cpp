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
const char kOlderBackup[] = "[Older]\r\nPATH=C:\\older.exe\r\n";

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
    std::string Bak(const std::string& n = "") { return test::ReadBytes(dir.File("vaxu_cmd.txt.bak" + n)); }
    std::string Id(const char* name) { return test::FileId(dir.File(name)); }
    void ExpectNoTemporaryFile() {
        for (const char* f : {"vaxu.ini.tmp", "vaxu_cmd.txt.tmp"}) EXPECT_FALSE(test::Exists(dir.File(f)));
    }

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

// Each run's backup is the command file it replaced; a different one from
// an earlier run is kept under the next free number. A run that finds its
// backup already equal to the command file adds no copy.
TEST_F(Conversion, RerunsKeepEveryEarlierCommandFile) {
    PutOldFiles();
    for (const char* run : {"A C:\\a.exe", "B C:\\b.exe", "C C:\\c.exe", "C C:\\c.exe", "C C:\\c.exe"})
        ASSERT_EQ(Convert(std::string("#HotKey 1 65\n") + run), ConvertResult::Converted);
    EXPECT_EQ(Cmd(), "[C]\r\nPATH=C:\\c.exe\r\n");
    EXPECT_EQ(Bak(), Cmd());
    EXPECT_EQ(Bak("1"), kOldCmd) << "the one before any conversion";
    EXPECT_EQ(Bak("2"), "[A]\r\nPATH=C:\\a.exe\r\n");
    EXPECT_EQ(Bak("3"), "[B]\r\nPATH=C:\\b.exe\r\n");
    EXPECT_EQ(Bak("4"), kMissing);
}

// Every step of the save made to fail in turn, on real files, alone and
// followed by a second failure while files are put back, with renames
// working and with every rename refused (as UAC virtualization may refuse
// them): nothing is lost. The launcher's two files are both new, or each
// as it was or its old bytes under the name the guide gives. Every try
// made busy once, as another program's hold makes it, is waited out: the
// run converts, and the new files are renamed in, not copied over.
TEST_F(Conversion, AFailureAtAnyStepLosesNothing) {
    for (FileStatus kind : {FileStatus::Refused, FileStatus::Busy})
    for (const char* legacy : {kExample, "#HotKey 3 90\r\n#Window 400 300\r\n"})
    for (bool renames : {true, false})
    for (bool existed : {true, false}) {
        const bool busy = kind == FileStatus::Busy, commands = legacy == kExample;
        if (busy && !renames) continue;
        int secondFailures = 0;
        for (long k = 1, then = 0;; ++then) {
            for (const char* f : {"vaxu.ini", "vaxu_cmd.txt", "vaxu_cmd.txt.bak", "vaxu_cmd.txt.bak1", "vaxu.ini.bak"})
                std::remove(dir.File(f).c_str());
            if (existed) {
                PutOldFiles();
                test::WriteBytes(dir.File("vaxu_cmd.txt.bak"), kOlderBackup);
            }
            const std::string oldIni = Id("vaxu.ini"), oldCmd = Id("vaxu_cmd.txt");
            step_fault::Arm(k, kind, then);
            if (!renames) step_fault::ForceRenames(FileStatus::Refused, -1);
            const ConvertResult r = Convert(legacy);
            const int injected = step_fault::Injected();
            step_fault::Disarm();
            SCOPED_TRACE(testing::Message() << busy << commands << renames << existed << " step " << k << "+" << then);
            const bool converted = r == ConvertResult::Converted;
            EXPECT_TRUE(converted || (!busy && r == ConvertResult::NotSaved));
            const std::string ini = Ini(), cmd = Cmd(), bak = Bak(), bak1 = Bak("1");
            const std::string kept = test::ReadBytes(dir.File("vaxu.ini.bak"));
            if (converted) {
                EXPECT_EQ(ini, existed ? kMergedIni : kExampleIni);
                EXPECT_EQ(cmd, commands ? kExampleCmd : kMissing);
                EXPECT_EQ(bak, existed ? kOldCmd : kMissing);
                EXPECT_TRUE(!busy || !existed || (Id("vaxu.ini") != oldIni && (!commands || Id("vaxu_cmd.txt") != oldCmd)))
                    << "renamed in";
            } else if (then == 0) {
                EXPECT_TRUE(ini == (existed ? kOldIni : kMissing) && cmd == (existed ? kOldCmd : kMissing));
            } else if (existed) {  // with no files before, there is nothing to lose
                EXPECT_TRUE((ini == kOldIni || kept == kOldIni) && (cmd == kOldCmd || bak == kOldCmd));
            }
            EXPECT_TRUE(existed ? bak == kOlderBackup || bak1 == kOlderBackup : bak == kMissing);
            EXPECT_TRUE((bak == kOlderBackup || bak == kOldCmd || bak == kMissing) &&
                        (bak1 == kOlderBackup || bak1 == kMissing)) << "no copy cut short";
            EXPECT_TRUE(kept == kMissing || (then > 0 && !converted && kept == kOldIni))
                << "the kept vaxu.ini stays only where it was not put back";
            ExpectNoTemporaryFile();
            if (injected == (then ? 2 : 1)) {
                secondFailures += then > 0;
                if (busy) ++k, then = -1;  // one busy try at a time
                continue;
            }
            EXPECT_TRUE(then > 0 || converted);
            if (then == 0) break;  // no step k: every step was failed
            ++k, then = -1;        // no step then after k: on to the next k
        }
        EXPECT_TRUE(busy || secondFailures > 0);
    }
}

// A new file taken away before its rename, or a source or a vaxu.ini that
// cannot be read to its end, changes nothing.
TEST_F(Conversion, MissingFilesAndReadErrorsChangeNothing) {
    PutOldFiles();
    step_fault::ForceRenames(FileStatus::Missing, 1);  // the new file was taken away before its rename
    EXPECT_EQ(Convert(kExample), ConvertResult::NotSaved);
    step_fault::Disarm();
    EXPECT_TRUE(Ini() == kOldIni && Cmd() == kOldCmd);

    std::string hundred = "#HotKey 1 65\r\n";
    for (int i = 0; i < 100; ++i) hundred += "Command" + std::to_string(i) + " C:\\tools\\tool.exe\r\n";
    Prepare(hundred);
    step_fault::ArmRead(2);  // the source's second read
    EXPECT_EQ(job.RunConversion(), ConvertResult::SourceUnreadable);
    step_fault::Disarm();
    EXPECT_TRUE(Ini() == kOldIni && Cmd() == kOldCmd && job.sourcePath.IsEmpty());

    const std::string big = "[Other]\r\n" + std::string(9000, 'k') + "=1\r\n";
    test::WriteBytes(dir.File("vaxu.ini"), big);
    for (long failing : {3, 5}) {  // after the source's two reads: the opening, a read part-way
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
namespace {
// Another program (file_holder.exe, found beside this one) holding path
// open with share until it is destroyed, or ms milliseconds; the
// constructor returns once it holds the file.
class HeldFile {
public:
    HeldFile(const std::string& path, DWORD share, DWORD ms) {
        const std::string name = "vaxu-holder-" + std::to_string(GetCurrentProcessId());
        HANDLE held = CreateEventA(nullptr, TRUE, FALSE, (name + "-held").c_str());
        release_ = CreateEventA(nullptr, TRUE, FALSE, (name + "-release").c_str());
        std::string command =
            "file_holder.exe \"" + path + "\" " + std::to_string(share) + " " + std::to_string(ms) + " " + name;
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        EXPECT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &process_));
        HANDLE waits[] = {held, process_.hProcess};
        EXPECT_EQ(WaitForMultipleObjects(2, waits, FALSE, 30000), WAIT_OBJECT_0) << "holding " << path;
        CloseHandle(held);
    }
    ~HeldFile() {
        SetEvent(release_);
        WaitForSingleObject(process_.hProcess, 30000);
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
        CloseHandle(release_);
    }
private:
    PROCESS_INFORMATION process_ = {};
    HANDLE release_ = nullptr;
};
}  // namespace

// Files held open by another program, for the whole run or for a moment:
// the run either converts or leaves both files as they were. A rename onto
// a held file is refused (access denied) and tried again, so a command file
// let go part-way is swapped in whole, never copied over in place. A
// vaxu.ini that an editor holds open, sharing it, is written over in place,
// its old bytes kept beside it meanwhile.
TEST_F(Conversion, FilesHeldByAnotherProgramGiveATruthfulResult) {
    const DWORD kWholeRun = 60000;
    const struct {
        std::string held;
        DWORD share, ms;
        ConvertResult result;
    } cases[] = {
        {source, 0, kWholeRun, ConvertResult::NotSettingsFile},
        {dir.File("vaxu.ini"), 0, kWholeRun, ConvertResult::NotSaved},
        {dir.File("vaxu.ini"), FILE_SHARE_READ, kWholeRun, ConvertResult::NotSaved},  // readable, not writable
        {dir.File("vaxu.ini"), FILE_SHARE_READ | FILE_SHARE_WRITE, kWholeRun, ConvertResult::Converted},
        {dir.File("vaxu_cmd.txt"), FILE_SHARE_READ, kWholeRun, ConvertResult::NotSaved},  // not replaceable
        {dir.File("vaxu_cmd.txt"), FILE_SHARE_READ, 300, ConvertResult::Converted},
        {dir.File("vaxu_cmd.txt.bak"), 0, kWholeRun, ConvertResult::NotSaved},
    };
    test::WriteBytes(dir.File("vaxu_cmd.txt.bak"), kOlderBackup);
    for (const auto& c : cases) {
        PutOldFiles();
        Prepare(kExample);
        const std::string oldCmd = Id("vaxu_cmd.txt");
        {
            HeldFile holder(c.held, c.share, c.ms);
            EXPECT_EQ(job.RunConversion(), c.result) << c.held;
        }
        const bool converted = c.result == ConvertResult::Converted;
        EXPECT_EQ(Ini(), converted ? kMergedIni : kOldIni) << c.held;
        EXPECT_EQ(Cmd(), converted ? kExampleCmd : kOldCmd) << c.held;
        EXPECT_TRUE(!converted || Id("vaxu_cmd.txt") != oldCmd) << "renamed in, not copied over: " << c.held;
        EXPECT_FALSE(test::Exists(dir.File("vaxu.ini.bak"))) << c.held;
        ExpectNoTemporaryFile();
    }
}
#endif

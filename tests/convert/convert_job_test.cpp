// Conversion runs on real files: whole folders checked against byte
// literals, under every kind of fault the save can meet. Under Wine also
// against files that other programs hold open.
#include "convert/convert_job.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "convert/step_fault.h"
#include "platform/files.h"
#include "test_support.h"
// Second failures and allocation failures drive logic that is the same
// everywhere: they run natively, where they cost a fraction of the time.
#ifdef _WIN32
#include <windows.h>
constexpr bool kNativeOnly = false;
#else
#include "convert/power_cut.h"
#include "platform/posix/file_watch.h"
constexpr bool kNativeOnly = true;
#endif

namespace {
const char kExample[] = "#HotKey 3 90\r\n#Window 400 300\r\nMail C:\\mail.exe [Comment:メール]\r\n";
const char kNoCommands[] = "#HotKey 3 90\r\n#Window 400 300\r\n";
const char kExampleIni[] =
    "[HotKey]\r\nALT=1\r\nShift=0\r\nCtrl=1\r\nKey=90\r\n"
    "[VAXU]\r\nHistory=0\r\nToolTip=0\r\nImeCtrl=0\r\nWndWidth=400\r\nWndHeight=300\r\nSavePosition=0\r\n";
const char kExampleCmd[] = "[Mail]\r\nPATH=C:\\mail.exe \r\nCOMMENT=メール\r\n";
const char kOldIni[] = "[Other]\r\nx=1\r\n[VAXU]\r\nTheme=dark\r\nHistory=5\r\n";
// kExample's settings written into kOldIni: other keys stay.
const char kMergedIni[] =
    "[Other]\r\nx=1\r\n[VAXU]\r\nTheme=dark\r\nHistory=0\r\nToolTip=0\r\nImeCtrl=0\r\nWndWidth=400\r\n"
    "WndHeight=300\r\nSavePosition=0\r\n[HotKey]\r\nALT=1\r\nShift=0\r\nCtrl=1\r\nKey=90\r\n";
const char kOldCmd[] = "[Old]\r\nPATH=C:\\old.exe\r\n", kOlderIni[] = "[VAXU]\r\nHistory=9\r\n";
const char kOlderCmd[] = "[Older]\r\nPATH=C:\\older.exe\r\n", kMissing[] = "<missing>";
const char kMine[] = "not the converter's", kLeftover[] = "left by a run that was killed";
const char* const kLauncherFiles[] = {"vaxu.ini", "vaxu_cmd.txt"};

using Folder = std::map<std::string, std::string>;  // name: bytes, then kReadOnly where it is
const std::string kReadOnly = " [read-only]";
bool ReadOnly(const std::string& entry) {
    return entry.size() >= kReadOnly.size() && entry.compare(entry.size() - kReadOnly.size(), kReadOnly.size(), kReadOnly) == 0;
}
std::string Bytes(const std::string& entry) { return ReadOnly(entry) ? entry.substr(0, entry.size() - kReadOnly.size()) : entry; }
std::string Entry(const Folder& folder, const std::string& name) { return folder.count(name) ? folder.at(name) : kMissing; }

// Every file in the folder, with its bytes and its read-only attribute.
Folder Snapshot(const std::string& dir) {
    Folder files;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        const unsigned attributes = GuardingAttributes((dir + name).c_str());
        files[name] = entry.is_directory() ? "<folder>"
                      : test::ReadBytes(dir + name) + (attributes == kReadOnlyAttribute ? kReadOnly : attributes ? "?" : "");
    }
    return files;
}

void Lay(const std::string& dir, const Folder& files) {
    for (const auto& f : Snapshot(dir)) {
        SetGuardingAttributes((dir + f.first).c_str(), 0);
        std::filesystem::remove_all(dir + f.first);
    }
    for (const auto& f : files) {
        f.second == "<folder>" ? test::MakeFolder(dir + f.first) : test::WriteBytes(dir + f.first, Bytes(f.second));
        if (ReadOnly(f.second)) SetGuardingAttributes((dir + f.first).c_str(), kReadOnlyAttribute);
    }
}

// Without the converter's own temporary files, which a run removes when a
// killed or cut one left them; without attributes where plain.
Folder Tidied(Folder folder, bool plain = false) {
    const std::string mark = ".vaxuconv.tmp";
    for (auto f = folder.begin(); f != folder.end();) {
        if (plain) f->second = Bytes(f->second);
        const std::string& n = f->first;
        f = n.size() > mark.size() && n.compare(n.size() - mark.size(), mark.size(), mark) == 0 ? folder.erase(f) : std::next(f);
    }
    return folder;
}

// The new bytes of a launcher's file converted from kExample, with or
// without its command, into a folder that held before; kMissing where
// there is to be none. A vaxu.ini already converted stays as it is.
std::string NewBytes(const Folder& before, const std::string& name, bool commands) {
    if (name == "vaxu_cmd.txt") return commands ? kExampleCmd : kMissing;
    const std::string ini = Bytes(Entry(before, name));
    return ini == kMissing ? kExampleIni : ini == kOldIni ? kMergedIni : ini;
}

// The folder a conversion of kExample makes of before: each launcher's file
// that was there copied to its .bak, which is neither read-only nor hidden,
// and replaced, keeping its attribute; nothing else changed.
Folder Converted(Folder folder, bool commands) {
    folder = Tidied(folder);
    const Folder before = folder;
    for (const std::string name : kLauncherFiles) {
        if (before.count(name)) folder[name + ".bak"] = Bytes(before.at(name));
        const std::string now = NewBytes(before, name, commands);
        if (now == kMissing) folder.erase(name);
        else folder[name] = now + (ReadOnly(Entry(before, name)) ? kReadOnly : "");
    }
    return folder;
}

// How far a folder may stray from what a run kept: a refused attribute call
// may leave a read-only attribute cleared where the run completed or on a
// .bak, and a cut anywhere; a cut may also leave a launcher's file new.
enum class Leeway { None, Attributes, Cut };

// After a failed, killed or cut run: each launcher's file as it was, or,
// after a cut, its new bytes, or anything where restore says it is to be
// put back from a .bak that holds it or removed; each .bak as it was or its
// file as it was; every other file as it was.
void ExpectKept(const Folder& start, const Folder& now, Leeway leeway, const Restore* restore = nullptr,
                bool commands = true) {
    // A launcher's file put back gets its attribute back: only a cut may clear it.
    const bool cut = leeway == Leeway::Cut, loose = leeway != Leeway::None;
    const auto same = [&](const std::string& a, const std::string& b, bool loose) {
        return a == b || (loose && Bytes(a) == Bytes(b));
    };
    Folder others = Tidied(now), othersAtStart = Tidied(start);
    for (int i = 0; i < 2; ++i) {
        const std::string name = kLauncherFiles[i], bak = name + ".bak", was = Entry(start, name);
        const std::string file = Entry(now, name), backup = Entry(now, bak);
        const Restore r = restore ? restore[i] : Restore::Nothing;
        EXPECT_TRUE(same(file, was, cut) || (cut && Bytes(file) == NewBytes(start, name, commands)) ||
                    (r == Restore::Remove && was == kMissing) || (r == Restore::FromBackup && Bytes(backup) == Bytes(was) && file != was))
            << name << ": " << file;
        EXPECT_TRUE(same(backup, Entry(start, bak), loose) || (was != kMissing && same(backup, Bytes(was), loose)))
            << bak << ": " << backup;
        for (Folder* f : {&others, &othersAtStart}) f->erase(name), f->erase(bak);
    }
    EXPECT_EQ(others, othersAtStart) << "no other file touched";
}

// The folders the runs start from: none of the files; both, with older
// backups and the files earlier versions and the user made; vaxu.ini only,
// an earlier command backup and a killed run's temporary files; read-only
// files, vaxu_cmd.txt.bak different and no vaxu.ini.bak; files already
// backed up.
const std::vector<Folder>& StartFolders() {
    const std::string ro = kReadOnly;
    static const std::vector<Folder> starts = {
        {},
        {{"vaxu.ini", kOldIni}, {"vaxu_cmd.txt", kOldCmd}, {"vaxu.ini.bak", kOlderIni}, {"vaxu_cmd.txt.bak", kOlderCmd},
         {"vaxu.ini.bak1", kMine}, {"vaxu.ini.orig", kMine}, {"vaxu_cmd.txt.none", kMine},
         {"vaxu.ini.vaxuconv-4000.tmp", kMine}, {"vaxu.ini.tmp", kMine}, {"vaxu_cmd.txt.bak7", kMine}},
        {{"vaxu.ini", kOldIni}, {"vaxu_cmd.txt.bak", kOlderCmd}, {"vaxu_cmd.txt.vaxuconv.tmp", kLeftover},
         {"vaxu.ini.bak.vaxuconv.tmp", kLeftover}},
        {{"vaxu.ini", kOldIni}, {"vaxu_cmd.txt", kOldCmd + ro}, {"vaxu_cmd.txt.bak", kOlderCmd + ro}},
        {{"vaxu.ini", kOldIni + ro}, {"vaxu_cmd.txt", kOldCmd}, {"vaxu.ini.bak", kOldIni}, {"vaxu_cmd.txt.bak", kOldCmd + ro}},
    };
    return starts;
}

// The start folders where second failures, busy tries and allocation
// failures are worth their time: both files to put back, one of them
// read-only in one.
bool BothToPutBack(const Folder& start) { return &start == &StartFolders()[1] || &start == &StartFolders()[3]; }
// A refused file call or read, one that another program's hold makes busy
// for a moment, or an allocation that fails.
enum class Fault { Refused, Busy, Memory };

// A job with an empty install folder and a legacy file of its own.
class Conversion : public ::testing::Test {
protected:
    void SetUp() override {
        job.Init();
        job.installFolder.Assign(dir.Path().c_str());
    }
    void TearDown() override { job.Teardown(); }

    ConvertResult Convert(const std::string& legacy) {
        test::WriteBytes(source, legacy);
        job.sourcePath.Assign(source.c_str());
        return result = job.RunConversion();
    }
    // Converts with the k-th step (or allocation) failing, and the step
    // `then` after it, and with every rename over a launcher's file refused
    // unless renames. Gives the failures injected.
    int ConvertFailing(const std::string& legacy, Fault fault, long k, long then, bool renames) {
        const bool memory = fault == Fault::Memory;
        step_fault::Arm(memory ? 0 : k, fault == Fault::Busy ? FileStatus::Busy : FileStatus::Refused, then, !renames);
        alloc_fault::Arm(memory ? k : 0);
        Convert(legacy);
        const int injected = memory ? alloc_fault::Injected() : step_fault::Injected();
        attributeFailed = step_fault::AttributeInjected() && fault == Fault::Refused;  // busy: waited out
        step_fault::Disarm();
        alloc_fault::Disarm();
        return injected;
    }
    // What the run reported, held against the folder as it left it.
    // Completed: each launcher's file new, each .bak its file as found.
    // Source unread or unfit: nothing written. Not saved or a backup box:
    // both launcher's files as they were. Not restored: only the files
    // named may differ, each with its old bytes in its .bak or to be removed.
    void ExpectReported(const Folder& start, bool commands, Leeway leeway) {
        const Restore restore[2] = {job.restoreSettings, job.restoreCommands};
        EXPECT_EQ(result == ConvertResult::NotRestored, restore[0] != Restore::Nothing || restore[1] != Restore::Nothing);
        if (result == ConvertResult::Converted)
            EXPECT_EQ(Tidied(Now(), leeway != Leeway::None), Tidied(Converted(start, commands), leeway != Leeway::None));
        else if (result == ConvertResult::SourceUnreadable || result == ConvertResult::NotSettingsFile)
            EXPECT_EQ(Now(), start);
        else
            ExpectKept(start, Now(), leeway, restore, commands);
    }
    std::string Id(const char* name) { return test::FileId(dir / name); }
    Folder Now() { return Snapshot(dir.Path()); }
    std::filesystem::file_time_type Time(const char* name) { return std::filesystem::last_write_time(dir / name); }

    test::TempDir dir, legacyDir;
    std::string source = legacyDir / "path.txt";
    ConvertJob job;
    ConvertResult result = ConvertResult::Converted;
    bool attributeFailed = false;  // a failure was injected into the setting of attributes
};
}  // namespace

// What the run writes: every option, each command, a long value whole, a
// folder read without its separator taken as the folder; a .bak keeps its
// file's last-write time, as a copy does. Files without a usable hot key,
// or none, write nothing.
TEST_F(Conversion, WritesWhatItReadsAndNothingFromFilesWithoutAHotKey) {
    for (const std::string& legacy : {std::string(), std::string("#HotKey\n#HotKey x y\n"), std::string(70000, '\r'),
                                      std::string("#HotKey 0 0\nTool C:\\t.exe\n"), std::string("Mail C:\\m.exe\n")}) {
        EXPECT_EQ(Convert(legacy), ConvertResult::NotSettingsFile) << legacy;
        EXPECT_TRUE(job.sourcePath.IsEmpty());
        EXPECT_EQ(Now(), Folder());
    }
    // A file of 4 GiB or more (sparse) is sized whole, never by its low 32
    // bits, so that a read refuses it by its size.
    test::WriteBytes(dir / "vaxu_cmd.txt", "");
    std::filesystem::resize_file(dir / "vaxu_cmd.txt", (1ull << 32) + 5);
    FileObj big;
    EXPECT_TRUE(big.OpenShared((dir / "vaxu_cmd.txt").c_str()) && big.GetSize() == (1ull << 32) + 5);
    big.Close();
    std::filesystem::remove(dir / "vaxu_cmd.txt");
    job.sourcePath.Assign((legacyDir / "missing.txt").c_str());
    EXPECT_EQ(job.RunConversion(), ConvertResult::NotSettingsFile);
    EXPECT_EQ(Convert("#HotKey 0 65\n"), ConvertResult::Converted);

    Lay(dir.Path(), StartFolders()[1]);
    std::filesystem::last_write_time(dir / "vaxu_cmd.txt", Time("vaxu_cmd.txt") - std::chrono::hours(48));
    const auto old = Time("vaxu_cmd.txt");
    const std::string path = "C:\\" + std::string(70000, 'x') + ".exe";
    ASSERT_EQ(Convert("#HotKey 4 112\n#HistoryMaxNum 30\n#ToolTip 2\n#ImeCtrl 2\n#SavePosition 3\n#TabNum 5\n"
                      "Tool C:\\a.exe [CD:C:\\w] [Comment:first]\nOther C:\\o.exe [CD:]\nTool C:\\b.exe\n"
                      "Long " + path + " [Comment:c]\n"),
              ConvertResult::Converted);
    EXPECT_EQ(test::ReadBytes(dir / "vaxu.ini"), "[Other]\r\nx=1\r\n[VAXU]\r\nTheme=dark\r\nHistory=30\r\nToolTip=2\r\nImeCtrl=2\r\n"
                                "WndWidth=0\r\nWndHeight=0\r\nSavePosition=3\r\n[HotKey]\r\nALT=0\r\nShift=1\r\nCtrl=0\r\nKey=112\r\n");
    EXPECT_EQ(test::ReadBytes(dir / "vaxu_cmd.txt"), "[Tool]\r\nPATH=C:\\b.exe\r\n[Other]\r\nPATH=C:\\o.exe \r\nFOLDER=\r\n[Long]\r\nPATH=" +
                                        path + " \r\nCOMMENT=c\r\n");
    EXPECT_TRUE(Time("vaxu_cmd.txt.bak") == old);

    std::string folder = dir / "ソ";  // ends in the trail byte 0x5C
    ASSERT_TRUE(test::MakeFolder(folder));
    job.installFolder.Assign(folder.c_str());
    ASSERT_EQ(Convert(kExample), ConvertResult::Converted);
    EXPECT_EQ(test::ReadBytes(folder + "\\vaxu_cmd.txt"), kExampleCmd);
    EXPECT_EQ(test::ReadBytes(folder + "vaxu_cmd.txt"), kMissing) << "never beside the folder";
    EXPECT_EQ((job.Teardown(), LiveJob()), nullptr) << "no dialog can reach a job torn down";
}

// Every step of the save made to fail in turn, on real files, from each
// start folder, with and without commands, alone and followed by a second
// failure while files are put back, with renames working and with every
// rename over a launcher's file refused (as UAC virtualization may refuse
// it), so that it is copied in place. Every try made busy once, as another
// program's hold makes it, is waited out, renaming the files in. Every
// allocation made to fail in turn gives no verdict on a file. Whatever the
// run reports is what the folder holds. A folder where a killed run's
// temporary file or a backup is to go changes nothing, and a backup's box
// names it.
TEST_F(Conversion, AFailureAtAnyStepIsReportedTrulyAndLosesNothing) {
    using R = ConvertResult;
    for (const auto& f : {std::make_pair("vaxu.ini.vaxuconv.tmp", R::NotSaved),
                          std::make_pair("vaxu.ini.bak", R::SettingsBackupBlocked),
                          std::make_pair("vaxu_cmd.txt.bak", R::CommandBackupBlocked)}) {
        const Folder old = {{"vaxu.ini", kOldIni}, {"vaxu_cmd.txt", kOldCmd}, {f.first, "<folder>"}};
        Lay(dir.Path(), old);
        EXPECT_EQ(Convert(kExample), f.second) << f.first;
        ExpectReported(old, true, Leeway::None);
    }
    for (Fault fault : {Fault::Refused, Fault::Busy, Fault::Memory})
    for (bool commands : {true, false})
    for (bool renames : {true, false})
    for (const Folder& start : StartFolders()) {
        const bool full = BothToPutBack(start), refused = fault == Fault::Refused;
        // A file is copied in place only over its backed-up old bytes, so one to be made needs a rename.
        const bool converts = renames || (start.count("vaxu.ini") && (!commands || start.count("vaxu_cmd.txt")));
        if (!refused && (!renames || !full || !commands || (fault == Fault::Memory && !kNativeOnly))) continue;
        int secondFailures = 0;
        for (long k = 1, then = 0;; ++then) {
            Lay(dir.Path(), start);
            const std::string oldIni = Id("vaxu.ini"), oldCmd = Id("vaxu_cmd.txt");
            const int injected = ConvertFailing(commands ? kExample : kNoCommands, fault, k, then, renames);
            SCOPED_TRACE(testing::Message() << int(fault) << commands << renames << start.size() << " step " << k << "+" << then);
            ExpectReported(start, commands, attributeFailed ? Leeway::Attributes : Leeway::None);
            EXPECT_TRUE(result == R::SourceUnreadable || result == R::NotSaved || result == R::Converted ||
                        (then > 0 && result == R::NotRestored)) << int(result);
            EXPECT_TRUE(fault != Fault::Memory || result == R::Converted || result == R::NotSaved) << "no verdict on a file";
            if (fault == Fault::Busy) {  // waited out: read afresh, renamed in
                EXPECT_TRUE(result == R::Converted && job.commands.Count() == 1);
                EXPECT_TRUE(Id("vaxu.ini") != oldIni && Id("vaxu_cmd.txt") != oldCmd);
            }
            if (injected == (then ? 2 : 1)) {
                secondFailures += then > 0;
                if (!refused || !full || !kNativeOnly) ++k, then = -1;  // one failure at a time
                continue;
            }
            EXPECT_TRUE(then > 0 || (result == R::Converted) == converts);
            if (then == 0) break;  // no step k: every step was failed
            ++k, then = -1;        // no step then after k: on to the next k
        }
        EXPECT_TRUE(!refused || !full || !kNativeOnly || secondFailures > 0);
    }
}

#ifndef _WIN32
namespace {
long g_callsAtFailure;  // the file calls made before the first failure, -1 before it
bool g_copiedInPlace;   // whether a launcher's file was copied over in place

// Another program saving a file in place while the converter reads it:
// vaxu.ini emptied between its size and its first read and written anew at
// the next file call; vaxu_cmd.txt added to while it is read.
const std::string kRewrittenIni = "[Other]\r\nx=2\r\n", kGrownCmd = std::string(kOldCmd) + "[Added]\r\n";
std::string g_ini, g_cmd;  // their paths, emptied once done with
bool g_emptied = false;

bool OpenHere(const std::string& path) {
    std::error_code e;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd", e))
        if (!path.empty() && std::filesystem::read_symlink(fd.path(), e) == path) return true;
    return false;
}

bool MeddleWhileRead() {
    if (g_emptied && test::WriteBytes(g_ini, kRewrittenIni)) g_ini.clear();
    if ((g_emptied = OpenHere(g_ini))) std::filesystem::resize_file(g_ini, 0);
    if (OpenHere(g_cmd) && test::WriteBytes(g_cmd, kGrownCmd)) g_cmd.clear();
    return true;
}
}  // namespace

// A file read whole is read again where another program changed it while
// it was read: each backup holds one whole version, and vaxu.ini keeps that
// version's other keys.
TEST_F(Conversion, AFileChangedWhileItIsReadIsReadAgain) {
    Lay(dir.Path(), {{"vaxu.ini", kOldIni}, {"vaxu_cmd.txt", kOldCmd}});
    g_ini = std::filesystem::canonical(dir / "vaxu.ini");
    g_cmd = std::filesystem::canonical(dir / "vaxu_cmd.txt");
    static const FileWatch kMeddler = {MeddleWhileRead, [](FileChange, const char*, const char*) {}};
    WatchFiles(&kMeddler);
    EXPECT_EQ(Convert(kExample), ConvertResult::Converted);
    WatchFiles(nullptr);
    EXPECT_TRUE(g_ini.empty() && g_cmd.empty()) << "both changed while read";
    EXPECT_EQ(Tidied(Now()), (Folder{{"vaxu.ini", kRewrittenIni + kExampleIni}, {"vaxu.ini.bak", kRewrittenIni},
                                     {"vaxu_cmd.txt", kExampleCmd}, {"vaxu_cmd.txt.bak", kGrownCmd}}));
}

// The power cut after each file call of a save, with and without commands,
// from every start folder, with renames working and refused, and after a
// failure at each step, so that the undo is cut too. What the run reports
// is what it left, every call from the cut on failing. The disk then holds
// what the last flush made sure of, and each file's unflushed data kept,
// lost, torn or garbage: each launcher's file whole, old or new, and each
// .bak as it was or its file as it was; a file copied in place may be cut
// short, but only once its .bak holds it. The next run converts.
TEST_F(Conversion, APowerCutAtAnyPointLosesNothing) {
    step_fault::SetTracer([](const char* what) {
        if (std::string(what) == "failed" && g_callsAtFailure < 0) g_callsAtFailure = power_cut::Calls();
        g_copiedInPlace = g_copiedInPlace || std::string(what) == "copy in place";
    });
    long cuts = 0;
    for (bool commands : {true, false})
    for (bool renames : {true, false})
    for (const Folder& start : StartFolders())
    for (long k = 0;; ++k) {  // k: the step that fails first, 0 for none
        const std::string legacy = commands ? kExample : kNoCommands;
        const auto cutRun = [&](long cut) {
            Lay(dir.Path(), start);
            g_callsAtFailure = -1;
            g_copiedInPlace = false;
            power_cut::Arm(dir.Path(), cut);
            ConvertFailing(legacy, Fault::Refused, k, 0, renames);
            power_cut::LayDown(0);  // the folder as the run left it
            ExpectReported(start, commands, cut >= 0 || attributeFailed ? Leeway::Attributes : Leeway::None);
        };
        cutRun(-1);
        const long total = power_cut::Calls(), failedAt = g_callsAtFailure;
        if (k > 0 && (failedAt < 0 || !commands || !BothToPutBack(start))) break;  // no step k
        Restore copiedInPlace[2];
        for (int i = 0; i < 2; ++i) copiedInPlace[i] = start.count(kLauncherFiles[i]) ? Restore::FromBackup : Restore::Nothing;
        for (long cut = std::max(0L, failedAt); cut < total; ++cut, ++cuts) {
            SCOPED_TRACE(testing::Message() << commands << renames << start.size() << " step " << k << " cut " << cut);
            cutRun(cut);
            power_cut::LayDown(cut % 8);
            const Folder cutFolder = Now();
            ExpectKept(start, cutFolder, Leeway::Cut, g_copiedInPlace ? copiedInPlace : nullptr, commands);
            if (result == ConvertResult::Converted) {  // told once the renames were committed: they stay
                EXPECT_EQ(Tidied(cutFolder, true), Tidied(Converted(start, commands), true));
            }
            EXPECT_EQ(Convert(legacy), ConvertResult::Converted);
            Folder now = Now(), want = Converted(cutFolder, commands);
            if (g_copiedInPlace) want["vaxu.ini"] = now["vaxu.ini"];  // a torn copy: any merge of it
            EXPECT_EQ(now, want);
        }
    }
    step_fault::SetTracer(nullptr);
    std::printf("%ld cut points\n", cuts);
}
#else
namespace {
// Another program holding path open with share until ms have passed or it
// is ended: this test program started again as "--hold PATH SHARE MS". It
// tells that it holds the file by the event vaxu-test-held.
const bool g_isHolder = __argc == 5 && std::string(__argv[1]) == "--hold" && [] {
    HANDLE file = CreateFileA(__argv[2], GENERIC_READ, std::stoul(__argv[3]), nullptr, OPEN_EXISTING, 0, nullptr);
    SetEvent(OpenEventA(EVENT_MODIFY_STATE, FALSE, "vaxu-test-held"));
    Sleep(std::stoul(__argv[4]));
    ExitProcess(file == INVALID_HANDLE_VALUE);
    return true;
}();

// Starts the holder; its process, once it holds path.
HANDLE Hold(const std::string& path, DWORD share, DWORD ms) {
    HANDLE held = CreateEventA(nullptr, TRUE, FALSE, "vaxu-test-held");
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string command = "holder --hold \"" + path + "\" " + std::to_string(share) + " " + std::to_string(ms);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION holder = {};
    EXPECT_TRUE(CreateProcessA(self, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &holder));
    EXPECT_EQ(WaitForSingleObject(held, 30000), WAIT_OBJECT_0) << "holding " << path;
    CloseHandle(held);
    CloseHandle(holder.hThread);
    return holder.hProcess;
}
}  // namespace

// Files held open by another program, for the whole run or for a moment.
// The old settings file is read as an editor leaves it readable; held
// without sharing, it is told as held. A rename onto a held file is refused
// (access denied) and tried again, so a command file let go part-way is
// swapped in whole, never copied over in place. A vaxu.ini that an editor
// holds open, sharing it, is written over in place, its old bytes in its
// backup first. A held backup is named.
TEST_F(Conversion, FilesHeldByAnotherProgramGiveATruthfulResult) {
    const DWORD kWholeRun = 60000, kRW = FILE_SHARE_READ | FILE_SHARE_WRITE;
    const struct { std::string held; DWORD share, ms; ConvertResult result; } cases[] = {
        {source, 0, kWholeRun, ConvertResult::SourceHeld},
        {source, kRW, kWholeRun, ConvertResult::Converted},
        {dir / "vaxu.ini", 0, kWholeRun, ConvertResult::NotSaved},
        {dir / "vaxu.ini", FILE_SHARE_READ, kWholeRun, ConvertResult::NotSaved},  // readable, not writable
        {dir / "vaxu.ini", kRW, kWholeRun, ConvertResult::Converted},
        {dir / "vaxu_cmd.txt", FILE_SHARE_READ, kWholeRun, ConvertResult::NotSaved},  // not replaceable
        {dir / "vaxu_cmd.txt", FILE_SHARE_READ, 300, ConvertResult::Converted},
        {dir / "vaxu_cmd.txt.bak", 0, kWholeRun, ConvertResult::CommandBackupBlocked},
        {dir / "vaxu_cmd.txt.bak", FILE_SHARE_READ, kWholeRun, ConvertResult::CommandBackupBlocked},
    };
    for (const auto& c : cases) {
        const Folder start = StartFolders()[1];
        Lay(dir.Path(), start);
        test::WriteBytes(source, kExample);
        job.sourcePath.Assign(source.c_str());
        const std::string oldCmd = Id("vaxu_cmd.txt");
        HANDLE holder = Hold(c.held, c.share, c.ms);
        result = job.RunConversion();
        TerminateProcess(holder, 0);  // an ended program lets go of its files
        WaitForSingleObject(holder, 30000);
        CloseHandle(holder);
        SCOPED_TRACE(c.held);
        EXPECT_EQ(result, c.result);
        ExpectReported(start, true, Leeway::None);
        EXPECT_TRUE(result != ConvertResult::Converted || Id("vaxu_cmd.txt") != oldCmd) << "renamed in, not copied over";
    }
}
#endif

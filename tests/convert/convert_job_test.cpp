// Conversion runs on real files: whole files checked against byte literals.
// Under Wine also against files that other programs hold open.
#include "convert/convert_job.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "convert/step_fault.h"
#include "test_support.h"
#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>

#include "platform/posix/power_cut.h"
#include "platform/posix/profile_edit.h"
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
    // Last-write times a day apart, which a backup keeps as a copy does.
    std::filesystem::file_time_type Time(const char* name) { return std::filesystem::last_write_time(dir.File(name)); }
    void SetTime(const char* name, int days) {
        std::filesystem::last_write_time(dir.File(name), std::filesystem::file_time_type::clock::now() - std::chrono::hours(24 * days));
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
    SetTime("vaxu_cmd.txt", 2);
    const auto before = Time("vaxu_cmd.txt");
    ASSERT_EQ(Convert("#HotKey 4 112\n#HistoryMaxNum 30\n#ToolTip 2\n#ImeCtrl 2\n#SavePosition 3\n#TabNum 5\n"
                      "Tool C:\\a.exe [CD:C:\\w] [Comment:first]\nOther C:\\o.exe [CD:]\nTool C:\\b.exe\n"),
              ConvertResult::Converted);
    EXPECT_EQ(Ini(), "[Other]\r\nx=1\r\n[VAXU]\r\nTheme=dark\r\nHistory=30\r\nToolTip=2\r\nImeCtrl=2\r\nWndWidth=0\r\n"
                     "WndHeight=0\r\nSavePosition=3\r\n[HotKey]\r\nALT=0\r\nShift=1\r\nCtrl=0\r\nKey=112\r\n");
    EXPECT_EQ(Cmd(), "[Tool]\r\nPATH=C:\\b.exe\r\n[Other]\r\nPATH=C:\\o.exe \r\nFOLDER=\r\n");
    EXPECT_EQ(Bak(), kOldCmd);
    EXPECT_EQ(Time("vaxu_cmd.txt.bak"), before);
    EXPECT_EQ(job.commands.Count(), 3);

    // No command lines: the old command file goes to the backup, none replaces it.
    SetTime("vaxu_cmd.txt", 1);
    const auto last = Time("vaxu_cmd.txt");
    ASSERT_EQ(Convert("#HotKey 1 65\n"), ConvertResult::Converted);
    EXPECT_TRUE(Time("vaxu_cmd.txt.bak") == last && Time("vaxu_cmd.txt.bak1") == before) << "as copies keep them";
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

// Each run's backups are the files it changed; a different backup from an
// earlier run is kept under the number above the highest in use, so a
// number freed by the user is never taken again. A run that finds its
// backup already equal to the file adds no copy. Every finished new file
// is flushed before it is renamed in.
TEST_F(Conversion, RerunsKeepEveryEarlierFileInOrder) {
    PutOldFiles();
    std::vector<std::string> trace;
    static std::vector<std::string>* events = &trace;
    step_fault::SetTracer([](const char* what, const char* path) { events->push_back(std::string(what) + " " + path); });
    for (const char* run : {"A C:\\a.exe", "B C:\\b.exe", "C C:\\c.exe", "D C:\\d.exe", "", "E C:\\e.exe",
                            "E C:\\e.exe", "E C:\\e.exe"}) {
        if (!*run) {
            std::remove(dir.File("vaxu_cmd.txt.bak2").c_str());  // tidied away by the user
            continue;
        }
        ASSERT_EQ(Convert(std::string("#HotKey 1 65\n") + run), ConvertResult::Converted);
    }
    step_fault::SetTracer(nullptr);
    const auto out = [](const char* c) { return std::string("[") + c + "]\r\nPATH=C:\\" + (char)(c[0] + 32) + ".exe\r\n"; };
    EXPECT_EQ(Cmd(), out("E"));
    const std::vector<std::string> backups = {out("E"), kOldCmd, kMissing, out("B"), out("C"), out("D"), kMissing};
    for (size_t n = 0; n < backups.size(); ++n) EXPECT_EQ(Bak(n ? std::to_string(n) : ""), backups[n]) << n;
    EXPECT_EQ(test::ReadBytes(dir.File("vaxu.ini.bak1")), kOldIni) << "the one before any conversion";
    EXPECT_EQ(test::ReadBytes(dir.File("vaxu.ini.bak")), Ini()) << "equal settings add no copy";
    EXPECT_EQ(test::ReadBytes(dir.File("vaxu.ini.bak2")), kMissing);
    EXPECT_TRUE(test::ReadBytes(dir.File("vaxu.ini.orig")) == kOldIni &&
                test::ReadBytes(dir.File("vaxu_cmd.txt.orig")) == kOldCmd)
        << "the first state, whatever the numbers";

    int swaps = 0;
    for (size_t i = 0; i < trace.size(); ++i) {
        swaps += trace[i] == "swap " + dir.File("vaxu.ini") || trace[i] == "swap " + dir.File("vaxu_cmd.txt");
        if (trace[i].rfind("rename ", 0) != 0 && trace[i].rfind("move ", 0) != 0) continue;
        const std::string path = trace[i].substr(trace[i].find(' ') + 1);
        size_t last = i;
        while (last-- > 0 && trace[last].find(path) == std::string::npos) {
        }
        EXPECT_TRUE(last < i && trace[last] == "flush " + path) << "flushed when finished: " << trace[i];
    }
    EXPECT_EQ(swaps, 14);
    const auto at = [&](const std::string& event) { return std::find(trace.begin(), trace.end(), event) - trace.begin(); };
    for (const char* backup : {"vaxu.ini.bak", "vaxu_cmd.txt.bak"})
        EXPECT_LT(at("kept " + dir.File(backup)), at("swap " + dir.File("vaxu_cmd.txt")))
            << "kept on disk before the file is replaced: " << backup;
}

namespace {
const char kOlderIni[] = "[VAXU]\r\nHistory=9\r\n";
const char kOldest[] = "[Oldest]\r\nPATH=C:\\oldest.exe\r\n";
const char kMine[] = "the user's own";
const char kLeftover[] = "left by a run that was killed";
using Folder = std::map<std::string, std::string>;  // name: bytes, and kReadOnly where it is
const std::string kReadOnly = " [read-only]";

// Every file in the folder, with its bytes and its read-only attribute.
Folder Snapshot(const std::string& dir) {
    Folder files;
    ForEachName((dir + "*").c_str(), [](const char* name, void* context) {
        if (std::string(name) != "." && std::string(name) != "..") (*static_cast<Folder*>(context))[name];
    }, &files);
    for (auto& f : files) {
        const unsigned attributes = GuardingAttributes((dir + f.first).c_str());
        f.second = test::ReadBytes(dir + f.first) + (attributes == kReadOnlyAttribute ? kReadOnly : attributes ? "?" : "");
    }
    return files;
}

bool ReadOnly(const std::string& entry) {
    return entry.size() >= kReadOnly.size() && entry.compare(entry.size() - kReadOnly.size(), kReadOnly.size(), kReadOnly) == 0;
}
std::string Bytes(const std::string& entry) {
    return ReadOnly(entry) ? entry.substr(0, entry.size() - kReadOnly.size()) : entry;
}
std::string Entry(const Folder& folder, const std::string& name) {
    return folder.count(name) ? folder.at(name) : kMissing;
}

void Lay(const std::string& dir, const Folder& files) {
    for (const auto& f : Snapshot(dir)) {
        SetGuardingAttributes((dir + f.first).c_str(), 0);
        std::remove((dir + f.first).c_str());
    }
    for (const auto& f : files) {
        test::WriteBytes(dir + f.first, Bytes(f.second));
        if (ReadOnly(f.second)) SetGuardingAttributes((dir + f.first).c_str(), kReadOnlyAttribute);
    }
}

// kExample's settings written into a vaxu.ini that held ini.
std::string Merged(std::string ini) {
    if (ini == kOldIni || ini == kMergedIni) return kMergedIni;
#ifndef _WIN32
    const char* const keys[][3] = {{"HotKey", "ALT", "1"},   {"HotKey", "Shift", "0"},   {"HotKey", "Ctrl", "1"},
                                   {"HotKey", "Key", "90"},  {"VAXU", "History", "0"},   {"VAXU", "ToolTip", "0"},
                                   {"VAXU", "ImeCtrl", "0"}, {"VAXU", "WndWidth", "400"}, {"VAXU", "WndHeight", "300"},
                                   {"VAXU", "SavePosition", "0"}};
    for (const auto& k : keys) EditProfileText(ini, k[0], k[1], k[2]);
#endif
    return ini;
}

// A kept original that a cut run wrote in place counts only once its
// temporary file is gone; until then the next run makes it again.
Folder WithoutUnfinishedOriginals(Folder folder) {
    for (const std::string name : {"vaxu.ini", "vaxu_cmd.txt"}) {
        const auto temp = folder.lower_bound(name + ".orig.vaxuconv-");
        if (temp != folder.end() && temp->first.rfind(name + ".orig.vaxuconv-", 0) == 0)
            folder.erase(name + ".orig"), folder.erase(name + ".none");
    }
    return folder;
}

// The folder as a save leaves it before anything else: without the
// temporary files of runs no longer running, nor what they left unfinished.
Folder Tidied(Folder folder) {
    folder = WithoutUnfinishedOriginals(folder);
    for (auto f = folder.begin(); f != folder.end();)
        f = f->second == kLeftover ? folder.erase(f) : std::next(f);
    return folder;
}

// The folder a conversion of kExample (with or without its command) makes
// of before: each file's first state kept for good, as a copy or a mark
// that there was none; each changed file copied to its .bak, an earlier different
// .bak to the number above the highest; the launcher's files keep their
// attribute, no backup is read-only.
Folder Converted(Folder folder, bool commands) {
    folder = Tidied(folder);
    const Folder before = folder;
    for (const std::string name : {"vaxu.ini", "vaxu_cmd.txt"}) {
        const bool existed = before.count(name);
        const std::string bak = name + ".bak";
        if (!before.count(name + ".orig") && !before.count(name + ".none"))
            folder[name + (existed ? ".orig" : ".none")] = existed ? Bytes(before.at(name)) : "";
        if (existed && Bytes(Entry(before, bak)) == Bytes(before.at(name))) continue;  // already backed up
        if (before.count(bak)) {
            unsigned long long highest = 0;
            std::string newest;  // the highest numbered copy's bytes
            for (const auto& f : before)
                if (f.first.rfind(bak, 0) == 0 && f.first.size() > bak.size() &&
                    f.first.find_first_not_of("0123456789", bak.size()) == std::string::npos &&
                    std::stoull(f.first.substr(bak.size())) >= highest) {
                    highest = std::stoull(f.first.substr(bak.size()));
                    newest = Bytes(f.second);
                }
            if (!highest || newest != Bytes(before.at(bak)))
                folder[bak + std::to_string(highest + 1)] = Bytes(before.at(bak));
        }
        if (existed) folder[bak] = Bytes(before.at(name));
        else folder.erase(bak);  // no .bak: there was no such file before this run
    }
    const auto attribute = [&](const char* name) { return ReadOnly(Entry(before, name)) ? kReadOnly : ""; };
    folder["vaxu.ini"] = (before.count("vaxu.ini") ? Merged(Bytes(before.at("vaxu.ini"))) : kExampleIni) +
                         attribute("vaxu.ini");
    folder["vaxu_cmd.txt"] = kExampleCmd + attribute("vaxu_cmd.txt");
    if (!commands) folder.erase("vaxu_cmd.txt");
    return folder;
}

// The folders the sweeps start from: none of the files; both, with older
// backups, a gap and a leading zero in the numbers, a 12-digit number, a
// user's odd name; vaxu.ini only, with the user's own .tmp and .bak7, an
// earlier command backup and temporary files of other runs; read-only
// files; files already backed up; both files and no backup, but a kept
// original that a killed run left unfinished.
const std::vector<Folder>& StartFolders() {
    const std::string ro = kReadOnly;
    static const std::vector<Folder> starts = {
        {},
        {{"vaxu.ini", kOldIni}, {"vaxu_cmd.txt", kOldCmd}, {"vaxu.ini.bak", kOlderIni},
         {"vaxu.ini.bak999999999999", kOldest},  // numbers have no upper limit
         {"vaxu.ini.orig", kOldest},  // kept by an earlier run, and never changed
         {"vaxu_cmd.txt.bak", kOlderBackup}, {"vaxu_cmd.txt.bak02", kOldest},  // a gap in the numbers
         {"vaxu_cmd.txt.bak9x", kMine}},
        {{"vaxu.ini", kOldIni}, {"vaxu.ini.tmp", kMine}, {"vaxu.ini.bak7", kMine}, {"vaxu_cmd.txt.bak", kOldest},
         {"vaxu_cmd.txt.vaxuconv-4000000000-2.tmp", kLeftover},  // of a process no longer there
#ifndef _WIN32
         {"vaxu.ini.vaxuconv-" + std::to_string(getppid()) + ".tmp", kMine},  // of another copy, still running
#endif
        },
        {{"vaxu_cmd.txt", kOldCmd + ro}, {"vaxu_cmd.txt.bak", kOlderBackup + ro}, {"vaxu_cmd.txt.tmp", kMine},
         {"vaxu_cmd.txt.none", ""}},
        {{"vaxu.ini", kOldIni + ro}, {"vaxu_cmd.txt", kOldCmd}, {"vaxu.ini.bak", kOldIni},  // already backed up
         {"vaxu_cmd.txt.bak", kOldCmd + ro}},
        {{"vaxu.ini", kOldIni}, {"vaxu_cmd.txt", kOldCmd}, {"vaxu.ini.orig", "[Other]\r\nx"},  // cut short
         {"vaxu.ini.orig.vaxuconv-4000000000.tmp", kLeftover}},
    };
    return starts;
}

// Natively: makes every listing of a folder fail, as one without the right
// to list it does. Windows tests cannot, as they run with every right.
#ifndef _WIN32
constexpr bool kCanHideListing = true;
void HideListing(bool hidden) { power_cut::FailListings(hidden); }
#else
constexpr bool kCanHideListing = false;
void HideListing(bool) {}
#endif

// Where a run kept a file's first state, it is what the folder held
// before: the bytes of the file, or a mark only where there was none. One
// kept before is never changed.
void ExpectTrueOriginals(const Folder& start, const Folder& now) {
    for (const std::string name : {"vaxu.ini", "vaxu_cmd.txt"}) {
        const std::string copy = name + ".orig", none = name + ".none";
        if (start.count(copy) || start.count(none)) {
            EXPECT_TRUE(Entry(now, copy) == Entry(start, copy) && Entry(now, none) == Entry(start, none)) << name;
            continue;
        }
        EXPECT_TRUE(!now.count(copy) || (start.count(name) && now.at(copy) == Bytes(start.at(name)))) << copy;
        EXPECT_TRUE(!now.count(none) || (!start.count(name) && now.at(none).empty())) << none;
    }
}

// A failed save: one failure changed nothing; after two, each of the
// launcher's files is as it was or, as the job says, to be restored from
// its .bak or removed, and every file's bytes are still in the folder. A
// backup that could not be read is named as such.
void ExpectTruthfulFailure(ConvertResult r, bool twice, const Folder& start, const Folder& after, const ConvertJob& job) {
    EXPECT_TRUE(r == ConvertResult::NotSaved || (twice && r == ConvertResult::NotRestored) ||
                (r == ConvertResult::SettingsBackupBlocked && start.count("vaxu.ini.bak")) ||
                (r == ConvertResult::CommandBackupBlocked && start.count("vaxu_cmd.txt.bak")));
    EXPECT_EQ(r == ConvertResult::NotRestored,
              job.restoreSettings != Restore::Nothing || job.restoreCommands != Restore::Nothing);
    if (!twice) {
        // A failure while an unfinished original goes keeps its mark.
        const bool unfinished = start != WithoutUnfinishedOriginals(start);
        EXPECT_TRUE(after == Tidied(start) ||
                    (unfinished && WithoutUnfinishedOriginals(after) == WithoutUnfinishedOriginals(start)))
            << "one failure changes nothing";
        return;
    }
    const std::pair<std::string, Restore> files[] = {{"vaxu.ini", job.restoreSettings},
                                                     {"vaxu_cmd.txt", job.restoreCommands}};
    for (const auto& f : files) {
        const std::string now = Entry(after, f.second == Restore::FromBackup ? f.first + ".bak" : f.first);
        const bool fromBackup = f.second == Restore::FromBackup;
        const std::string was = fromBackup ? Bytes(Entry(start, f.first)) : Entry(start, f.first);
        EXPECT_EQ(f.second == Restore::Remove ? kMissing : fromBackup ? Bytes(now) : now, was) << f.first;
    }
    ExpectTrueOriginals(WithoutUnfinishedOriginals(start), WithoutUnfinishedOriginals(after));
    for (const auto& f : Tidied(start)) {
        bool kept = false;
        for (const auto& a : after) kept = kept || Bytes(a.second) == Bytes(f.second);
        EXPECT_TRUE(kept) << f.first;
    }
}
}  // namespace

// Every step of the save made to fail in turn, on real files, from several
// starting folders, alone and followed by a second failure while files are
// put back, with renames working and with every rename refused (as UAC
// virtualization may refuse them). One failure leaves every file in the
// folder as it was, backups and attributes included. Two leave each of the
// launcher's files as it was or, as the result says, its old bytes in its
// .bak; nothing is lost. Every try made busy once, as another program's
// hold makes it, is waited out: the run converts, renaming the files in.
TEST_F(Conversion, AFailureAtAnyStepLosesNothing) {
    const std::vector<Folder>& starts = StartFolders();
    for (FileStatus kind : {FileStatus::Refused, FileStatus::Busy})
    for (const char* legacy : {kExample, "#HotKey 3 90\r\n#Window 400 300\r\n"})
    for (bool renames : {true, false})
    for (const Folder& start : starts)
    for (bool hidden : {false, true}) {  // the folder's listing fails, natively, from files already backed up
        const bool busy = kind == FileStatus::Busy, commands = legacy == kExample;
        if ((busy && !renames) || (hidden && (&start != &starts[4] || !kCanHideListing))) continue;
        int secondFailures = 0;
        for (long k = 1, then = 0;; ++then) {
            Lay(dir.Path(), start);
            const std::string oldIni = Id("vaxu.ini"), oldCmd = Id("vaxu_cmd.txt");
            step_fault::Arm(k, kind, then);
            if (!renames) step_fault::ForceRenames(FileStatus::Refused, -1);
            HideListing(hidden);
            const ConvertResult r = Convert(legacy);
            HideListing(false);
            const int injected = step_fault::Injected();
            step_fault::Disarm();
            SCOPED_TRACE(testing::Message() << busy << commands << renames << hidden << start.size() << " step " << k << "+" << then);
            const Folder after = Snapshot(dir.Path());
            const bool converted = r == ConvertResult::Converted;
            if (converted) {
                EXPECT_EQ(after, Converted(start, commands));
                EXPECT_TRUE(!busy || !start.count("vaxu.ini") || Id("vaxu.ini") != oldIni) << "renamed in";
                EXPECT_TRUE(!busy || !commands || !start.count("vaxu_cmd.txt") || Id("vaxu_cmd.txt") != oldCmd);
            } else {
                ExpectTruthfulFailure(r, then > 0, start, after, job);
            }
            for (const auto& f : start)
                EXPECT_TRUE(f.second != kMine || Entry(after, f.first) == kMine) << "not ours: " << f.first;
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

#ifndef _WIN32
namespace {
// The launcher's file whose content a name keeps: the file itself, its
// .bak or a numbered copy; "" for any other name.
std::string KeptFor(const std::string& name) {
    for (const std::string stem : {"vaxu.ini", "vaxu_cmd.txt"}) {
        if (name == stem || name == stem + ".bak") return stem;
        const std::string bak = stem + ".bak";
        if (name.rfind(bak, 0) == 0 && name.size() > bak.size() &&
            name.find_first_not_of("0123456789", bak.size()) == std::string::npos)
            return stem + " numbered";
    }
    return "";
}

bool Kept(const Folder& folder, const std::string& stem, const std::string& bytes) {
    for (const auto& f : folder)
        if (KeptFor(f.first).rfind(stem, 0) == 0 && Bytes(f.second) == bytes) return true;
    return false;
}

// Every content the launcher's files and their backups held at the start
// is still complete under the file's name, its .bak or a numbered name; no
// such content is numbered twice unless it already was; the user's files
// stay as they were.
void ExpectNothingLost(const Folder& start, const Folder& now) {
    std::map<std::string, int> numbered, numberedAtStart;
    for (const auto& f : start) {
        const std::string stem = KeptFor(f.first);
        EXPECT_TRUE(stem.empty() || Kept(now, stem.substr(0, stem.find(' ')), Bytes(f.second))) << f.first << testing::PrintToString(now);
        EXPECT_TRUE(f.second != kMine || Entry(now, f.first) == kMine) << f.first;
        if (!stem.empty()) numberedAtStart[Bytes(f.second)] += stem.find(' ') != std::string::npos;
    }
    for (const auto& f : now)
        if (KeptFor(f.first).find(' ') != std::string::npos && numberedAtStart.count(Bytes(f.second)))
            ++numbered[Bytes(f.second)];
    for (const auto& n : numbered) EXPECT_LE(n.second, std::max(1, numberedAtStart[n.first])) << "numbered twice";
    ExpectTrueOriginals(WithoutUnfinishedOriginals(start), WithoutUnfinishedOriginals(now));
}

// Where renames work, each of the launcher's files holds its old or its new
// bytes, complete, or is absent where it was.
void ExpectWholeLauncherFiles(const Folder& start, const Folder& now) {
    const std::string ini = Entry(now, "vaxu.ini"), cmd = Entry(now, "vaxu_cmd.txt");
    const std::string oldIni = Entry(start, "vaxu.ini");
    EXPECT_TRUE(Bytes(ini) == Bytes(oldIni) || Bytes(ini) == (oldIni == kMissing ? kExampleIni : Merged(Bytes(oldIni)))) << ini;
    EXPECT_TRUE(Bytes(cmd) == Bytes(Entry(start, "vaxu_cmd.txt")) || Bytes(cmd) == kExampleCmd) << cmd;
}

// What a cut run left, without its own temporary files.
Folder WithoutTemporaryFiles(Folder folder) {
    folder = WithoutUnfinishedOriginals(folder);
    for (auto f = folder.begin(); f != folder.end();)
        f = f->first.find(".vaxuconv-") != std::string::npos && f->second != kMine ? folder.erase(f) : std::next(f);
    return folder;
}

long g_callsAtFailure = -1;
bool g_copiedInPlace = false;  // a launcher's file written over where its rename failed
}  // namespace

// The power cut after each file call of a save, as SQLite's crash tests
// cut it: from every start folder, with renames working and refused, and
// after each single failure at every call of the undo. The disk then holds
// what the last flush made sure of, and each file's unflushed data kept,
// lost, torn or garbage. Nothing held at the start is lost, and the next
// run, whole or itself cut at any of its calls, converts as a run on that
// folder would, tidying the cut run's temporary files away.
TEST_F(Conversion, APowerCutAtAnyPointLosesNothing) {
    long secondCut = 0, secondRunsWhole = 0, cuts = 0, calls = 0;
    ConvertResult result = ConvertResult::Converted;
    const auto cutRun = [&](const Folder& lay, long k, long cut, unsigned scenario, bool renames) {
        Lay(dir.Path(), lay);
        g_copiedInPlace = false;
        power_cut::Arm(dir.Path().c_str(), cut);
        step_fault::Arm(k);
        if (!renames) step_fault::ForceRenames(FileStatus::Refused, -1);
        result = Convert(kExample);
        const bool out = power_cut::WentOut();
        calls = power_cut::Calls();
        power_cut::LayDown(scenario);
        step_fault::Disarm();
        return out;
    };
    const auto nextRun = [&](const Folder& start, const Folder& cut) {
        power_cut::Arm(dir.Path().c_str(), -1);  // never cut, and no real disk sync
        EXPECT_EQ(Convert(kExample), ConvertResult::Converted);
        power_cut::Disarm();
        const Folder after = Snapshot(dir.Path());
        EXPECT_EQ(after, Converted(WithoutTemporaryFiles(cut), true));
        ExpectNothingLost(start, after);
    };
    step_fault::SetTracer([](const char* what, const char* path) {
        if (std::string(what) == "failed" && g_callsAtFailure < 0) g_callsAtFailure = power_cut::Calls();
        const std::string p = path;
        g_copiedInPlace = g_copiedInPlace || (std::string(what) == "copy in place" && p.find(".bak") == std::string::npos);
    });
    for (bool renames : {true, false})
    for (const Folder& start : StartFolders())
    for (long k = 0;; ++k) {  // k: the step that fails first, 0 for none
        // Run whole, then cut right after: what it told is what the disk keeps.
        g_callsAtFailure = -1;
        cutRun(start, k, -1, 2, renames);
        const long total = calls, failed = g_callsAtFailure;
        if (k > 0 && failed < 0) break;  // no step k
        EXPECT_EQ(WithoutTemporaryFiles(Snapshot(dir.Path())),
                  result == ConvertResult::Converted ? Converted(start, true) : Tidied(start))
            << renames << start.size() << " step " << k;
        for (long cut = std::max(0L, failed); cut < total; ++cut, ++cuts) {
            // A killed run and one cut, or, in the undo, one of each in turn.
            const std::vector<unsigned> scenarios = k > 0 ? std::vector<unsigned>{unsigned(cut % 8)}
                                                          : std::vector<unsigned>{0, unsigned(1 + cut % 7)};
            for (unsigned s : scenarios) {
                SCOPED_TRACE(testing::Message() << renames << start.size() << " step " << k << " cut " << cut << " scenario " << s);
                ASSERT_TRUE(cutRun(start, k, cut, s, renames));
                const Folder cutFolder = Snapshot(dir.Path());
                ExpectNothingLost(start, cutFolder);
                if (!g_copiedInPlace) ExpectWholeLauncherFiles(start, cutFolder);
                nextRun(start, cutFolder);
                if (k > 0) continue;
                if (!cutRun(cutFolder, 0, secondCut++, (s + 3) % 8, true)) {
                    secondCut = 0;  // past its last call: every call of a next run was cut
                    ++secondRunsWhole;
                }
                const Folder secondFolder = Snapshot(dir.Path());
                ExpectNothingLost(start, secondFolder);
                nextRun(start, secondFolder);
            }
        }
    }
    step_fault::SetTracer(nullptr);
    EXPECT_GT(secondRunsWhole, 0);
    std::printf("%ld cut points\n", cuts);
}
#endif

// A new file taken away before its rename, or a source or a vaxu.ini that
// cannot be read to its end, changes nothing. A source whose read meets a
// lock for a moment is read again from its start.
TEST_F(Conversion, MissingFilesAndReadErrorsChangeNothing) {
    PutOldFiles();
    for (const char* kept : {"vaxu.ini.bak", "vaxu.ini.orig"})  // backed up already: the first rename is a swap
        test::WriteBytes(dir.File(kept), kOldIni);
    for (const char* kept : {"vaxu_cmd.txt.bak", "vaxu_cmd.txt.orig"}) test::WriteBytes(dir.File(kept), kOldCmd);
    step_fault::ForceRenames(FileStatus::Missing, 1);  // the new file was taken away before its rename
    EXPECT_EQ(Convert(kExample), ConvertResult::NotSaved);
    step_fault::Disarm();
    EXPECT_TRUE(Ini() == kOldIni && Cmd() == kOldCmd);
    // A copy over vaxu_cmd.txt, where renames are refused, that meets a lock
    // after cutting it short: it is told, and its backup stays, as does its
    // first state, so that no later run takes the cut file for it.
    for (const char* made : {"vaxu_cmd.txt.bak", "vaxu_cmd.txt.orig"}) std::remove(dir.File(made).c_str());
    step_fault::ForceRenames(FileStatus::Refused, -1);
    step_fault::LockCopies();
    EXPECT_EQ(Convert(kExample), ConvertResult::NotRestored);
    step_fault::Disarm();
    EXPECT_TRUE(job.restoreCommands == Restore::FromBackup && Bak() == kOldCmd && Ini() == kOldIni);
    EXPECT_EQ(test::ReadBytes(dir.File("vaxu_cmd.txt.orig")), kOldCmd);
    PutOldFiles();
    // A killed run's temporary file that cannot be removed (a folder of its
    // name) marks a kept original unfinished for good: no save, or the next
    // run would throw this run's away.
    const std::string unremovable = dir.File("vaxu.ini.orig.vaxuconv-4000000000.tmp");
    ASSERT_TRUE(test::MakeFolder(unremovable));
    EXPECT_EQ(Convert(kExample), ConvertResult::NotSaved);
    EXPECT_TRUE(Ini() == kOldIni && test::ReadBytes(dir.File("vaxu.ini.orig")) == kMissing);
    std::filesystem::remove(unremovable);

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
    Prepare(hundred);
    step_fault::ArmRead(2, FileStatus::Busy);  // a locked range, let go: read again from the start
    EXPECT_EQ(job.RunConversion(), ConvertResult::Converted);
    step_fault::Disarm();
    EXPECT_EQ(job.commands.Count(), 100);
}

// Every allocation of a realistic conversion, from a folder with both files
// and earlier backups, made to fail in turn: the run says it saved nothing,
// never blames a file, and leaves the whole folder as it was; or it
// converts.
TEST_F(Conversion, AnAllocationFailureAnywhereSavesNothingOrAll) {
    std::string legacy = "// settings\r\n#HotKey 6 86\r\n#HistoryMaxNum 20\r\n#Window 480 320\r\n";
    for (int i = 0; i < 25; ++i)
        legacy += "コマンド" + std::to_string(i) + " C:\\Program Files\\tool" + std::to_string(i) +
                  ".exe [CD:C:\\作業] [Comment:説明" + std::to_string(i) + "]\r\n";
    ASSERT_EQ(Convert(legacy), ConvertResult::Converted);  // the command list keeps its storage from here on
    const Folder start = {{"vaxu.ini", kOldIni}, {"vaxu_cmd.txt", kOldCmd}, {"vaxu.ini.bak", kOlderIni},
                          {"vaxu_cmd.txt.bak", kOlderBackup}};
    Lay(dir.Path(), start);
    long total;
    {
        test::AllocFailure count(0);
        ASSERT_EQ(job.RunConversion(), ConvertResult::Converted);
        total = alloc_fault::Count();
    }
    const Folder converted = Snapshot(dir.Path());
    for (long k = 1; k <= total; ++k) {
        Lay(dir.Path(), start);
        Prepare(legacy);
        test::AllocFailure fail(k);
        const ConvertResult r = job.RunConversion();
        ASSERT_TRUE(alloc_fault::Injected());
        EXPECT_TRUE(r == ConvertResult::Converted || r == ConvertResult::NotSaved) << "no verdict on a file, " << k;
        EXPECT_EQ(Snapshot(dir.Path()), r == ConvertResult::Converted ? converted : start) << k;
        EXPECT_TRUE(r == ConvertResult::Converted || job.sourcePath.IsEmpty()) << k;
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

// Files held open by another program, for the whole run or for a moment.
// The old settings file is read as an editor leaves it readable; held
// without sharing, it is told as held. A run either converts or leaves
// every file in the folder as it was, backups included. A rename onto a
// held file is refused (access denied) and tried again, so a command file
// let go part-way is swapped in whole, never copied over in place. A
// vaxu.ini that an editor holds open, sharing it, is written over in place,
// its old bytes in its backup first.
TEST_F(Conversion, FilesHeldByAnotherProgramGiveATruthfulResult) {
    const DWORD kWholeRun = 60000;
    const struct {
        std::string held;
        DWORD share, ms;
        ConvertResult result;
    } cases[] = {
        {source, 0, kWholeRun, ConvertResult::SourceHeld},
        {source, FILE_SHARE_READ | FILE_SHARE_WRITE, kWholeRun, ConvertResult::Converted},
        {dir.File("vaxu.ini"), 0, kWholeRun, ConvertResult::NotSaved},
        {dir.File("vaxu.ini"), FILE_SHARE_READ, kWholeRun, ConvertResult::NotSaved},  // readable, not writable
        {dir.File("vaxu.ini"), FILE_SHARE_READ | FILE_SHARE_WRITE, kWholeRun, ConvertResult::Converted},
        {dir.File("vaxu_cmd.txt"), FILE_SHARE_READ, kWholeRun, ConvertResult::NotSaved},  // not replaceable
        {dir.File("vaxu_cmd.txt"), FILE_SHARE_READ, 300, ConvertResult::Converted},
        {dir.File("vaxu_cmd.txt.bak"), 0, kWholeRun, ConvertResult::CommandBackupBlocked},
        {dir.File("vaxu_cmd.txt.bak"), FILE_SHARE_READ, kWholeRun, ConvertResult::CommandBackupBlocked},  // not replaceable
    };
    for (const auto& c : cases) {
        PutOldFiles();
        test::WriteBytes(dir.File("vaxu.ini.bak"), kOlderIni);
        test::WriteBytes(dir.File("vaxu_cmd.txt.bak"), kOlderBackup);
        Prepare(kExample);
        const Folder before = Snapshot(dir.Path());
        const std::string oldCmd = Id("vaxu_cmd.txt");
        {
            HeldFile holder(c.held, c.share, c.ms);
            EXPECT_EQ(job.RunConversion(), c.result) << c.held;
        }
        const Folder after = Snapshot(dir.Path());
        const bool converted = c.result == ConvertResult::Converted;
        EXPECT_EQ(after, converted ? Converted(before, true) : before) << c.held;
        EXPECT_TRUE(!converted || Id("vaxu_cmd.txt") != oldCmd) << "renamed in, not copied over: " << c.held;
        for (const char* f : {"vaxu.ini.bak1", "vaxu_cmd.txt.bak1"}) std::remove(dir.File(f).c_str());
    }
}
#endif

// The conversion against the real file system and profile API under Wine,
// with files that are locked, read-only or in the way. After every run the
// user's previous vaxu_cmd.txt is in place or in the backup, byte for byte,
// and the result tells the truth.
#include <gtest/gtest.h>

#include <string>

#include "convert/convert_job.h"
#include "platform/win_support.h"
#include "test_support.h"

using wintest::Folder;

namespace {
const char kLegacy[] = "#HotKey 3 90\r\nMail C:\\mail.exe [Comment:メール]\r\n";
const char kOld[] = "[Old]\r\nPATH=C:\\old.exe\r\n";

class ConversionFaults : public ::testing::Test {
protected:
    void SetUp() override {
        job.Init();
        job.installFolder.Assign(inst.Path().c_str());
        wintest::MakeFile(source, kLegacy);
        wintest::MakeFile(inst / "vaxu_cmd.txt", kOld);
    }
    void TearDown() override {
        job.Teardown();
        for (const char* f : {"vaxu.ini", "vaxu_cmd.txt", "vaxu_cmd.txt.bak"})
            SetFileAttributesA((inst / f).c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    ConvertResult Run() {
        job.sourcePath.Assign(source.c_str());
        return job.RunConversion();
    }
    void ExpectOldCommandsKept() {
        std::string in = test::ReadBytes(inst / "vaxu_cmd.txt");
        std::string backup = test::ReadBytes(inst / "vaxu_cmd.txt.bak");
        EXPECT_TRUE(in == kOld || backup == kOld) << "in place: " << in << "\nbackup: " << backup;
    }
    HANDLE Hold(const std::string& path, DWORD share) {
        return CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    }

    Folder inst, legacy;
    std::string source = legacy / "path.txt";
    ConvertJob job;
};
}  // namespace

TEST_F(ConversionFaults, SourceHeldOpenByAnotherProgram) {
    HANDLE held = Hold(source, 0);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Run(), ConvertResult::NotSettingsFile);
    CloseHandle(held);
    EXPECT_EQ(test::ReadBytes(inst / "vaxu_cmd.txt"), kOld);
    EXPECT_FALSE(wintest::IsFile(inst / "vaxu.ini"));
}

TEST_F(ConversionFaults, InstallFolderThatCannotBeCreated) {
    wintest::MakeFile(inst / "blocker");
    job.installFolder.Assign((inst / "blocker\\VAXU\\").c_str());
    EXPECT_EQ(Run(), ConvertResult::NotSaved);
    EXPECT_TRUE(job.sourcePath.IsEmpty());
    ExpectOldCommandsKept();
}

TEST_F(ConversionFaults, BackupThatCannotBeOverwritten) {
    wintest::MakeFile(inst / "vaxu_cmd.txt.bak", "older backup");
    HANDLE held = Hold(inst / "vaxu_cmd.txt.bak", 0);  // in use by another program
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Run(), ConvertResult::NotSaved);
    CloseHandle(held);
    EXPECT_EQ(test::ReadBytes(inst / "vaxu_cmd.txt"), kOld) << "not deleted without its copy";
    EXPECT_EQ(test::ReadBytes(inst / "vaxu_cmd.txt.bak"), "older backup");
}

TEST_F(ConversionFaults, CommandFileThatCannotBeDeleted) {
    HANDLE held = Hold(inst / "vaxu_cmd.txt", FILE_SHARE_READ);  // readable, not deletable
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Run(), ConvertResult::NotSaved);
    CloseHandle(held);
    EXPECT_EQ(test::ReadBytes(inst / "vaxu_cmd.txt"), kOld);
    EXPECT_EQ(test::ReadBytes(inst / "vaxu_cmd.txt.bak"), kOld);
}

TEST_F(ConversionFaults, SettingsFileInUse) {
    wintest::MakeFile(inst / "vaxu.ini", "[VAXU]\r\nTheme=dark\r\n");
    HANDLE held = Hold(inst / "vaxu.ini", 0);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Run(), ConvertResult::NotSaved);
    CloseHandle(held);
    EXPECT_EQ(test::ReadBytes(inst / "vaxu.ini"), "[VAXU]\r\nTheme=dark\r\n");
    EXPECT_EQ(test::ReadBytes(inst / "vaxu_cmd.txt"), kOld) << "nothing moved when the settings failed";
}

// Read-only files: Windows refuses the writes; Wine run by root does not
// (root may write anyway). Either way the result must match the files.
TEST_F(ConversionFaults, ReadOnlyFilesGiveATruthfulResult) {
    wintest::MakeFile(inst / "vaxu.ini", "[VAXU]\r\nTheme=dark\r\n");
    wintest::MakeFile(inst / "vaxu_cmd.txt.bak", "older backup");
    for (const char* f : {"vaxu.ini", "vaxu_cmd.txt.bak"})
        SetFileAttributesA((inst / f).c_str(), FILE_ATTRIBUTE_READONLY);
    ConvertResult r = Run();
    ExpectOldCommandsKept();
    bool converted = test::ReadBytes(inst / "vaxu_cmd.txt").find("[Mail]") != std::string::npos &&
                     test::ReadBytes(inst / "vaxu.ini").find("Key=90") != std::string::npos;
    EXPECT_EQ(r == ConvertResult::Converted, converted);
}

// Names and paths with the INI file's own characters: what is written,
// and what the profile API reads back for each command's section.
TEST_F(ConversionFaults, NamesAndPathsWithIniCharacters) {
    wintest::MakeFile(source,
                      "#HotKey 1 65\r\n"
                      "a=b C:\\eq.exe\r\n"
                      ";semi C:\\semi.exe\r\n"
                      "x]y C:\\bracket.exe\r\n"
                      "x C:\\plain.exe\r\n"
                      "[z C:\\open.exe\r\n"
                      "Eq C:\\a=b.exe [Comment:;not a comment]\r\n");
    ASSERT_EQ(Run(), ConvertResult::Converted);
    auto read = [this](const char* section, const char* key) {
        char value[256] = {};
        GetPrivateProfileStringA(section, key, "<absent>", value, sizeof value, (inst / "vaxu_cmd.txt").c_str());
        return std::string(value);
    };
    EXPECT_EQ(read("a=b", "PATH"), "C:\\eq.exe");
    EXPECT_EQ(read(";semi", "PATH"), "C:\\semi.exe");
    EXPECT_EQ(read("[z", "PATH"), "C:\\open.exe");
    EXPECT_EQ(read("Eq", "PATH"), "C:\\a=b.exe");
    EXPECT_EQ(read("Eq", "COMMENT"), ";not a comment");
    // The header "[x]y]" is written as it is, and the profile API reads the
    // name up to the last "]": "x]y" and "x" stay two commands.
    EXPECT_NE(test::ReadBytes(inst / "vaxu_cmd.txt").find("[x]y]\r\n"), std::string::npos);
    EXPECT_EQ(read("x]y", "PATH"), "C:\\bracket.exe");
    EXPECT_EQ(read("x", "PATH"), "C:\\plain.exe");
}

// The conversion against files that other programs hold open, or that are
// read-only, under Wine: the result tells the truth, and a failed run
// leaves the launcher's files as they were.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "convert/conversion_test.h"
#include "platform/win_support.h"

namespace {
const char kOldIni[] = "[VAXU]\r\nTheme=dark\r\n", kOldCmd[] = "[Old]\r\nPATH=C:\\old.exe\r\n";

class ConversionFaults : public test::ConversionTest {
protected:
    void Prepare() {
        test::WriteBytes(dir.File("vaxu.ini"), kOldIni);
        test::WriteBytes(dir.File("vaxu_cmd.txt"), kOldCmd);
        ConversionTest::Prepare("#HotKey 3 90\r\nMail C:\\mail.exe\r\n");
    }
};
}  // namespace

TEST_F(ConversionFaults, FilesHeldByAnotherProgram) {
    struct Case {
        std::string held;
        DWORD share;
        ConvertResult result;
    } cases[] = {
        {source, 0, ConvertResult::NotSettingsFile},
        {dir.File("vaxu.ini"), 0, ConvertResult::NotSaved},
        {dir.File("vaxu_cmd.txt"), FILE_SHARE_READ, ConvertResult::NotSaved},  // readable, not replaceable
        {dir.File("vaxu_cmd.txt.bak"), 0, ConvertResult::NotSaved},
    };
    test::WriteBytes(dir.File("vaxu_cmd.txt.bak"), "older backup");
    for (const Case& c : cases) {
        Prepare();
        HANDLE h = CreateFileA(c.held.c_str(), GENERIC_READ, c.share, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        EXPECT_EQ(job.RunConversion(), c.result) << c.held;
        CloseHandle(h);
        EXPECT_TRUE(Ini() == kOldIni && Cmd() == kOldCmd) << c.held;
        EXPECT_EQ(wintest::NamesIn(dir.Path()).size(), 3u) << "no temporary file left";
    }
}

// Windows refuses writes to read-only files; Wine run by root may not.
// Either way the result must match the files.
TEST_F(ConversionFaults, ReadOnlyFilesGiveATruthfulResult) {
    for (const char* f : {"vaxu.ini", "vaxu_cmd.txt"}) {
        Prepare();
        SetFileAttributesA(dir.File(f).c_str(), FILE_ATTRIBUTE_READONLY);
        const ConvertResult r = job.RunConversion();
        SetFileAttributesA(dir.File(f).c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(Cmd(), r == ConvertResult::Converted ? "[Mail]\r\nPATH=C:\\mail.exe\r\n" : kOldCmd) << f;
    }
}

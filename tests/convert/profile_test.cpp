// What the conversion relies on from the profile (INI) writer. Under Wine
// this runs against WritePrivateProfileStringA, natively against our own
// writer: any difference between the two shows here.
#include <gtest/gtest.h>

#include "platform/files.h"
#include "test_support.h"

using test::KeysOf;
using test::ParseIni;
using Lines = std::vector<std::string>;

class Profile : public ::testing::Test {
protected:
    bool Write(const char* section, const char* key, const char* value) {
        return WriteProfileText(section, key, value, path.c_str());
    }
    test::Ini Read() { return ParseIni(test::ReadBytes(path)); }

    test::TempDir dir;
    std::string path = dir.File("t.ini");
};

TEST_F(Profile, CreatesFileAndSectionsKeepingKeysInWritingOrder) {
    ASSERT_TRUE(Write("HotKey", "ALT", "1"));
    ASSERT_TRUE(Write("HotKey", "Shift", "0"));
    ASSERT_TRUE(Write("VAXU", "History", "20"));
    ASSERT_TRUE(Write("HotKey", "Key", "90"));
    test::Ini ini = Read();
    ASSERT_EQ(ini.size(), 2u);
    EXPECT_EQ(ini[0].name, "HotKey");
    EXPECT_EQ(KeysOf(ini, "HotKey"), (Lines{"ALT=1", "Shift=0", "Key=90"}));
    EXPECT_EQ(KeysOf(ini, "VAXU"), (Lines{"History=20"}));
    EXPECT_NE(test::ReadBytes(path).find("ALT=1\r\n"), std::string::npos) << "lines end in CRLF";
}

TEST_F(Profile, ReplacesInPlaceAndKeepsEverythingElse) {
    test::WriteBytes(path,
                     "; launcher settings\r\n"
                     "[HotKey]\r\n"
                     "ALT=0\r\n"
                     "Extra=keep me\r\n"
                     "\r\n"
                     "[Unknown]\r\n"
                     "a=b\r\n");
    ASSERT_TRUE(Write("HotKey", "ALT", "1"));
    ASSERT_TRUE(Write("HotKey", "Key", "65"));
    std::string bytes = test::ReadBytes(path);
    EXPECT_EQ(bytes.find("; launcher settings\r\n"), 0u);
    test::Ini ini = Read();
    EXPECT_EQ(KeysOf(ini, "HotKey"), (Lines{"ALT=1", "Extra=keep me", "Key=65"}));
    EXPECT_EQ(KeysOf(ini, "Unknown"), (Lines{"a=b"}));
}

TEST_F(Profile, NullValueRemovesTheKeyAndEmptyValueWritesAnEmptyOne) {
    ASSERT_TRUE(Write("Mail", "PATH", "C:\\mail.exe "));
    ASSERT_TRUE(Write("Mail", "FOLDER", ""));
    ASSERT_TRUE(Write("Mail", "COMMENT", "メール"));
    ASSERT_TRUE(Write("Mail", "COMMENT", nullptr));
    ASSERT_TRUE(Write("Mail", "NEVER", nullptr));
    EXPECT_EQ(KeysOf(Read(), "Mail"), (Lines{"PATH=" + test::StoredValue("C:\\mail.exe "), "FOLDER="}));
}

TEST_F(Profile, SectionNamesMatchWithoutRegardToCase) {
    ASSERT_TRUE(Write("Mail", "PATH", "a"));
    ASSERT_TRUE(Write("MAIL", "PATH", "b"));
    test::Ini ini = Read();
    ASSERT_EQ(ini.size(), 1u);
    EXPECT_EQ(KeysOf(ini, "Mail"), (Lines{"PATH=b"}));
}

TEST_F(Profile, FailsWhenTheFolderIsMissing) {
    std::string missing = dir.File("no-such-folder/t.ini");
    EXPECT_FALSE(WriteProfileText("S", "K", "V", missing.c_str()));
    EXPECT_FALSE(test::Exists(missing));
}

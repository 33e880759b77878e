#include "platform/registry.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>

namespace {
// A key of the test's own under HKEY_CURRENT_USER, removed afterwards.
class Registry : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\VaxuConverterTest"); }
    void TearDown() override { SetUp(); }
    void SetValue(const char* name, DWORD type, const void* data, DWORD size) {
        HKEY h;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kSub, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr), 0);
        ASSERT_EQ(RegSetValueExA(h, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
        RegCloseKey(h);
    }
    static bool IsOpen(HKEY h) {
        return RegQueryInfoKeyA(h, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                nullptr, nullptr) == ERROR_SUCCESS;
    }
    static constexpr const char* kSub = "Software\\VaxuConverterTest\\VAXU\\";
};

StrBuf Holding(const char* text) {
    StrBuf b;
    b.Assign(text);
    return b;
}
}  // namespace

TEST_F(Registry, OpensReadsOrCreatesAndClosesWhatItHeldBefore) {
    RegKey key;
    EXPECT_FALSE(key.Open(HKEY_CURRENT_USER, kSub, false, false));
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, kSub, true, true));
    const HKEY created = key.Handle();
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, kSub, false, false));
    EXPECT_FALSE(IsOpen(created) && created != key.Handle()) << "the earlier key is closed";
    const HKEY opened = key.Handle();
    EXPECT_FALSE(key.Open(HKEY_CURRENT_USER, "Software\\VaxuConverterTest\\missing\\", false, false));
    EXPECT_EQ(key.Handle(), nullptr);
    EXPECT_FALSE(IsOpen(opened));
    DWORD values = 99;
    HKEY h;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kSub, 0, KEY_READ, &h), ERROR_SUCCESS);
    RegQueryInfoKeyA(h, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(h);
    EXPECT_EQ(values, 0u) << "the created key stays, empty";
}

TEST_F(Registry, ReadStringValueTakesAtMost500BytesOfAnyType) {
    const std::string tooLong(600, 'x'), fits(499, 'y');
    const DWORD dword = 0x00414243;
    SetValue("Version", REG_SZ, "0.70", 5);
    SetValue("Long", REG_SZ, tooLong.c_str(), 601);
    SetValue("Fits", REG_SZ, fits.c_str(), 500);
    SetValue("Bare", REG_BINARY, "abc", 3);  // no terminating zero
    SetValue("Number", REG_DWORD, &dword, 4);
    RegKey key;
    StrBuf target = Holding("before");
    EXPECT_FALSE(key.ReadStringValue("Version", target));  // nothing open: untouched
    EXPECT_STREQ(target.Text(), "before");
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, kSub, false, false));
    const struct {
        const char* name;
        bool read;
        std::string text;
    } cases[] = {{"Version", true, "0.70"}, {"Fits", true, fits},  {"Bare", true, "abc"},
                 {"Number", true, "CBA"},   {"Long", false, ""},   {"Missing", false, ""}};
    for (const auto& c : cases) {
        target.Assign("before");
        EXPECT_EQ(key.ReadStringValue(c.name, target), c.read) << c.name;
        EXPECT_EQ(target.Text(), c.text) << c.name;
        EXPECT_TRUE(target.HasStorage());
    }
}

TEST(SpecialFolder, PathsEndInOneBackslashAndFailuresLeaveNothing) {
    for (int csidl : {CSIDL_APPDATA, CSIDL_PROGRAMS, CSIDL_STARTUP}) {
        StrBuf folder = Holding("old text");
        ASSERT_TRUE(GetSpecialFolder(folder, csidl)) << csidl;
        const std::string path = folder.Text();
        ASSERT_GE(path.size(), 4u);
        EXPECT_TRUE(path.back() == '\\' && path[path.size() - 2] != '\\') << path;
        EXPECT_NE(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u) << path;
    }
    for (int csidl : {0x7F, CSIDL_DRIVES}) {  // no such folder; a location without a path
        StrBuf folder = Holding("old text");
        EXPECT_FALSE(GetSpecialFolder(folder, csidl));
        EXPECT_TRUE(folder.IsEmpty());
    }
}

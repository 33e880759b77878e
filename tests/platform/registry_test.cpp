#include "platform/registry.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>

#include "platform/win_support.h"
#include "test_support.h"

namespace {
const char kTestKey[] = "Software\\VaxuConverterTest", kSub[] = "Software\\VaxuConverterTest\\VAXU\\";

// A key of the test's own under HKEY_CURRENT_USER, removed afterwards.
class Registry : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, kTestKey); }
    void TearDown() override { SetUp(); }
    static bool IsOpen(HKEY h) { return RegQueryValueExA(h, "", nullptr, nullptr, nullptr, nullptr) != ERROR_INVALID_HANDLE; }
};
}  // namespace

TEST_F(Registry, OpensReadsOrCreatesAndClosesWhatItHeldBefore) {
    RegKey key;
    EXPECT_FALSE(key.Open(HKEY_CURRENT_USER, kSub, false, false));
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, kSub, true, true));
    const HKEY created = key.Handle();
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, kSub, false, false));
    const HKEY opened = key.Handle();
    EXPECT_FALSE(key.Open(HKEY_CURRENT_USER, "Software\\VaxuConverterTest\\missing\\", false, false));
    EXPECT_TRUE(!key.Handle() && !IsOpen(opened) && (created == opened || !IsOpen(created))) << "earlier keys closed";
}

TEST_F(Registry, ReadStringValueTakesAtMost500BytesOfAnyType) {
    const std::string tooLong(600, 'x'), fits(499, 'y');
    const DWORD number = 0x00414243;
    const struct {
        const char* name;
        DWORD type;
        const void* data;
        DWORD size;
        bool read;
        std::string text;
    } cases[] = {
        {"Version", REG_SZ, "0.70", 5, true, "0.70"},
        {"Fits", REG_SZ, fits.c_str(), 500, true, fits},
        {"Bare", REG_BINARY, "abc", 3, true, "abc"},  // no terminating zero
        {"Number", REG_DWORD, &number, 4, true, "CBA"},
        {"Long", REG_SZ, tooLong.c_str(), 601, false, ""},
        {"Missing", REG_NONE, nullptr, 0, false, ""},
    };
    RegKey key;
    StrBuf target = test::Buf("before");
    EXPECT_FALSE(key.ReadStringValue("Version", target));  // nothing open: untouched
    EXPECT_STREQ(target.Text(), "before");
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, kSub, true, true));
    for (const auto& c : cases)
        if (c.data) RegSetValueExA(key.Handle(), c.name, 0, c.type, static_cast<const BYTE*>(c.data), c.size);
    for (const auto& c : cases) {
        target.Assign("before");
        EXPECT_EQ(key.ReadStringValue(c.name, target), c.read) << c.name;
        EXPECT_EQ(target.Text(), c.text) << c.name;
    }
}

TEST(SpecialFolder, PathsEndInOneBackslashAndFailuresLeaveNothing) {
    // No such folder, and a location without a path, then three real ones.
    for (int csidl : {0x7F, CSIDL_DRIVES, CSIDL_APPDATA, CSIDL_PROGRAMS, CSIDL_STARTUP}) {
        StrBuf folder = test::Buf("old text");
        const bool real = csidl != 0x7F && csidl != CSIDL_DRIVES;
        ASSERT_EQ(GetSpecialFolder(folder, csidl), real) << csidl;
        const std::string path = folder.Text();
        EXPECT_EQ(path.empty(), !real) << csidl;
        EXPECT_TRUE(!real || (path.back() == '\\' && path[path.size() - 2] != '\\' && wintest::IsDir(path))) << path;
    }
}

#include "platform/registry.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>

namespace {
// A key of the test's own under HKEY_CURRENT_USER, removed afterwards.
class Registry : public ::testing::Test {
protected:
    void SetUp() override {
        sub = "Software\\VaxuConverterTest\\" + std::to_string(GetCurrentProcessId()) + "\\";
        RegDeleteTreeA(HKEY_CURRENT_USER, sub.c_str());
    }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\VaxuConverterTest"); }

    void SetValue(const char* name, DWORD type, const void* data, DWORD size) {
        HKEY h;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, sub.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(h, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
        RegCloseKey(h);
    }
    bool HandleIsOpen(HKEY h) { return RegQueryInfoKeyA(h, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                                        nullptr, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS; }

    std::string sub;
};

StrBuf Holding(const char* text) {
    StrBuf b;
    b.Assign(text);
    return b;
}
}  // namespace

TEST_F(Registry, CreateFormMakesAnEmptyKeyThatStays) {
    {
        RegKey key;
        EXPECT_FALSE(key.Open(HKEY_CURRENT_USER, sub.c_str(), false, false));
        EXPECT_EQ(key.Handle(), nullptr);
        ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, sub.c_str(), true, true));
        EXPECT_NE(key.Handle(), nullptr);
    }
    HKEY h;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, sub.c_str(), 0, KEY_READ, &h), ERROR_SUCCESS);
    DWORD values = 99;
    RegQueryInfoKeyA(h, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    EXPECT_EQ(values, 0u);
    RegCloseKey(h);
}

TEST_F(Registry, AnOpenClosesTheKeyHeldBeforeEvenWhenItFails) {
    SetValue("Version", REG_SZ, "0.70", 5);
    RegKey key;
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, sub.c_str(), false, false));
    HKEY first = key.Handle();
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, sub.c_str(), false, false));
    EXPECT_FALSE(HandleIsOpen(first) && first != key.Handle());
    StrBuf value;
    EXPECT_TRUE(key.ReadStringValue("Version", value));
    HKEY second = key.Handle();
    EXPECT_FALSE(key.Open(HKEY_CURRENT_USER, (sub + "missing\\").c_str(), false, false));
    EXPECT_EQ(key.Handle(), nullptr);
    EXPECT_FALSE(HandleIsOpen(second));
}

TEST_F(Registry, ReadStringValueOutcomes) {
    std::string longText(600, 'x');
    std::string fits(499, 'y');
    DWORD dword = 0x00414243;
    SetValue("Version", REG_SZ, "0.70", 5);
    SetValue("Long", REG_SZ, longText.c_str(), 601);
    SetValue("Fits", REG_SZ, fits.c_str(), 500);
    SetValue("Bare", REG_BINARY, "abc", 3);  // no terminating zero
    SetValue("Number", REG_DWORD, &dword, 4);

    RegKey key;
    StrBuf target = Holding("before");
    EXPECT_FALSE(key.ReadStringValue("Version", target));  // nothing open
    EXPECT_STREQ(target.Text(), "before");

    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, sub.c_str(), false, false));
    EXPECT_TRUE(key.ReadStringValue("Version", target));
    EXPECT_STREQ(target.Text(), "0.70");
    EXPECT_TRUE(key.ReadStringValue("Fits", target));
    EXPECT_EQ(target.Text(), fits);
    EXPECT_TRUE(key.ReadStringValue("Bare", target));
    EXPECT_STREQ(target.Text(), "abc");
    EXPECT_TRUE(key.ReadStringValue("Number", target));
    EXPECT_STREQ(target.Text(), "CBA");  // its four data bytes up to the first zero

    EXPECT_FALSE(key.ReadStringValue("Long", target));
    EXPECT_TRUE(target.IsEmpty());
    target.Assign("before");
    EXPECT_FALSE(key.ReadStringValue("Missing", target));
    EXPECT_TRUE(target.IsEmpty());
    EXPECT_TRUE(target.HasStorage());
}

TEST(SpecialFolder, TheProgramsFoldersEndInExactlyOneBackslash) {
    for (int csidl : {CSIDL_APPDATA, CSIDL_PROGRAMS, CSIDL_STARTUP}) {
        StrBuf folder = Holding("old text");
        ASSERT_TRUE(GetSpecialFolder(folder, csidl)) << csidl;
        std::string path = folder.Text();
        ASSERT_GE(path.size(), 4u);
        EXPECT_EQ(path.back(), '\\') << path;
        EXPECT_NE(path[path.size() - 2], '\\') << path;
        EXPECT_EQ(path.find("old text"), std::string::npos);
        DWORD attributes = GetFileAttributesA(path.c_str());
        EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) << path;
    }
}

TEST(SpecialFolder, FailuresLeaveTheOutputEmpty) {
    StrBuf folder = Holding("old text");
    EXPECT_FALSE(GetSpecialFolder(folder, 0x7F));  // no such folder
    EXPECT_TRUE(folder.IsEmpty());
    folder.Assign("old text");
    EXPECT_FALSE(GetSpecialFolder(folder, CSIDL_DRIVES));  // a location without a path
    EXPECT_TRUE(folder.IsEmpty());
}

// The compiled resources: the dialog template's style, font and control
// ids; the icon; the program's version resource and manifest.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/resource.h"
#include "e2e/converter_driver.h"
#include "version.h"

namespace {
const WORD kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);

const BYTE* Resource(LPCSTR type, LPCSTR name) {
    HRSRC found = FindResourceExA(nullptr, type, name, kJapanese);
    return found ? static_cast<const BYTE*>(LockResource(LoadResource(nullptr, found))) : nullptr;
}

// Reads the words of a DLGTEMPLATEEX in order.
struct Cursor {
    const BYTE* base;
    const BYTE* p;
    WORD Word() { return p += 2, *reinterpret_cast<const WORD*>(p - 2); }
    DWORD Dword() { return Word() | static_cast<DWORD>(Word()) << 16; }
    std::u16string String() {
        std::u16string s;
        for (WORD c; (c = Word()) != 0;) s += static_cast<char16_t>(c);
        return s;
    }
    void SkipNameOrOrdinal() { Word() == 0xFFFF ? (void)Word() : (void)(p -= 2, String()); }
    void Align() { p += (4 - (p - base) % 4) % 4; }
};
}  // namespace

TEST(Resources, DialogStyleFontControlIdsAndIcon) {
    const BYTE* data = Resource(RT_DIALOG, MAKEINTRESOURCEA(IDD_SOURCE_DIALOG));
    ASSERT_NE(data, nullptr);
    Cursor c{data, data + 8};  // after the version, the signature and the help id
    EXPECT_EQ(c.Dword(), static_cast<DWORD>(WS_EX_ACCEPTFILES));
    EXPECT_EQ(c.Dword(), 0x90CA0AC0u);
    const WORD items = c.Word();
    c.p += 8;  // position and size
    c.SkipNameOrOrdinal(), c.SkipNameOrOrdinal(), c.String();  // menu, class, caption
    EXPECT_EQ(c.Word(), 9);
    c.p += 4;  // weight, italic, charset
    EXPECT_EQ(c.String(), u"ＭＳ Ｐゴシック");
    std::vector<int> ids;
    for (WORD i = 0; i < items; ++i) {
        c.Align();
        c.p += 20;  // help id, extended style, style, position and size
        ids.push_back(static_cast<int>(c.Dword()));
        c.SkipNameOrOrdinal(), c.SkipNameOrOrdinal();
        c.p += c.Word();  // creation data
    }
    EXPECT_EQ(ids, (std::vector<int>{IDOK, IDCANCEL, IDC_STATIC, IDC_STATIC, IDC_SOURCE_PATH, IDC_BROWSE}));
    EXPECT_TRUE(Resource(RT_GROUP_ICON, MAKEINTRESOURCEA(IDI_APP_GROUP)) && Resource(RT_ICON, MAKEINTRESOURCEA(1)));
}

// The manifest declares no execution level, so UAC file virtualization
// stays on for the 32-bit program, as for the launcher.
TEST(Resources, ProgramCarriesItsVersionAndManifest) {
    const std::string program = e2e::ConverterPath();
    DWORD ignored = 0, size = GetFileVersionInfoSizeA(program.c_str(), &ignored);
    std::vector<BYTE> info(size);
    ASSERT_TRUE(size && GetFileVersionInfoA(program.c_str(), 0, size, info.data())) << program;
    char* value = nullptr;
    UINT length = 0;
    const char* const strings[][2] = {{"FileDescription", "ヴァクスファイルコンバーター"},
                                      {"ProductName", "ヴァクスファイルコンバーター"},
                                      {"FileVersion", VAXU_VERSION_TEXT}};
    for (const auto& s : strings) {
        std::string query = std::string("\\StringFileInfo\\041103a4\\") + s[0];
        ASSERT_TRUE(VerQueryValueA(info.data(), query.c_str(), reinterpret_cast<void**>(&value), &length)) << s[0];
        EXPECT_STREQ(value, s[1]);
    }
    HMODULE module = LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
    ASSERT_NE(found, nullptr);
    const std::string manifest(static_cast<const char*>(LockResource(LoadResource(module, found))),
                               SizeofResource(module, found));
    FreeLibrary(module);
    EXPECT_NE(manifest.find(">true</dpiAware>"), std::string::npos);
    EXPECT_NE(manifest.find("8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"), std::string::npos) << "Windows 10 and 11";
    EXPECT_EQ(manifest.find("<trustInfo"), std::string::npos);
}

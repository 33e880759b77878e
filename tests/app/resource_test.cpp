// The compiled resources, read back item by item.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/resource.h"
#include "version.h"

namespace {
// Reader over a resource's bytes.
class Cursor {
public:
    explicit Cursor(const BYTE* p) : base_(p), p_(p) {}
    WORD Word() { return Take<WORD>(); }
    DWORD Dword() { return Take<DWORD>(); }
    BYTE Byte() { return Take<BYTE>(); }
    short Short() { return static_cast<short>(Word()); }
    // A zero-terminated UTF-16 string.
    std::u16string String() {
        std::u16string s;
        for (WORD c; (c = Word()) != 0;) s += static_cast<char16_t>(c);
        return s;
    }
    // A name or an ordinal: 0xFFFF then the ordinal, else a string.
    std::u16string NameOrOrdinal(WORD* ordinal) {
        WORD first = Word();
        if (first == 0xFFFF) {
            *ordinal = Word();
            return u"";
        }
        *ordinal = 0;
        p_ -= 2;
        return String();
    }
    void AlignDword() {
        while ((p_ - base_) % 4) ++p_;
    }

private:
    template <typename T>
    T Take() {
        T v;
        memcpy(&v, p_, sizeof v);
        p_ += sizeof v;
        return v;
    }
    const BYTE* base_;
    const BYTE* p_;
};

const BYTE* Resource(LPCSTR type, LPCSTR name, WORD language, DWORD* size = nullptr) {
    HRSRC found = FindResourceExA(nullptr, type, name, language);
    if (!found) return nullptr;
    if (size) *size = SizeofResource(nullptr, found);
    return static_cast<const BYTE*>(LockResource(LoadResource(nullptr, found)));
}

const WORD kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);
}  // namespace

TEST(Resources, DialogTemplateMatchesItemByItem) {
    ASSERT_EQ(kJapanese, 1041);
    const BYTE* data = Resource(RT_DIALOG, MAKEINTRESOURCEA(IDD_SOURCE_DIALOG), kJapanese);
    ASSERT_NE(data, nullptr);
    Cursor c(data);
    EXPECT_EQ(c.Word(), 1);       // dlgVer
    EXPECT_EQ(c.Word(), 0xFFFF);  // signature of the extended form
    EXPECT_EQ(c.Dword(), 0u);     // help id
    EXPECT_EQ(c.Dword(), static_cast<DWORD>(WS_EX_ACCEPTFILES));
    EXPECT_EQ(c.Dword(), 0x90CA0AC0u);
    ASSERT_EQ(c.Word(), 6);
    EXPECT_EQ(c.Short(), 0);
    EXPECT_EQ(c.Short(), 0);
    EXPECT_EQ(c.Short(), 322);
    EXPECT_EQ(c.Short(), 117);
    WORD ordinal = 0;
    EXPECT_EQ(c.NameOrOrdinal(&ordinal), u"");  // no menu
    EXPECT_EQ(c.NameOrOrdinal(&ordinal), u"");  // default class
    EXPECT_EQ(c.String(), u"ヴァクスファイルのコンバート");
    EXPECT_EQ(c.Word(), 9);    // point size
    EXPECT_EQ(c.Word(), 0);    // weight
    EXPECT_EQ(c.Byte(), 0);    // italic
    EXPECT_EQ(c.Byte(), 1);    // DEFAULT_CHARSET
    EXPECT_EQ(c.String(), u"ＭＳ Ｐゴシック");

    struct Item {
        WORD classAtom;
        int id;
        std::u16string text;
        short x, y, cx, cy;
        DWORD style;
    } items[] = {
        {0x80, IDOK, u"変換(&V)", 209, 96, 50, 14, 0x50010001},
        {0x80, IDCANCEL, u"ｷｬﾝｾﾙ(&C)", 265, 96, 50, 14, 0x50010000},
        {0x80, -1, u" 変換元ファイル(&R) ", 7, 7, 308, 70, 0x50000007},
        {0x82, -1, u"Version0.53以前のヴァクスの設定ファイル ( path.txt ) を指定してください。", 13, 23, 218, 8,
         0x50020000},
        {0x81, IDC_SOURCE_PATH, u"", 12, 40, 297, 14, 0x50810080},
        {0x80, IDC_BROWSE, u"参照(&F)", 259, 58, 50, 14, 0x50010000},
    };
    for (const Item& want : items) {
        c.AlignDword();
        EXPECT_EQ(c.Dword(), 0u);  // help id
        EXPECT_EQ(c.Dword(), 0u);  // extended style
        EXPECT_EQ(c.Dword(), want.style);
        EXPECT_EQ(c.Short(), want.x);
        EXPECT_EQ(c.Short(), want.y);
        EXPECT_EQ(c.Short(), want.cx);
        EXPECT_EQ(c.Short(), want.cy);
        EXPECT_EQ(static_cast<int>(c.Dword()), want.id);
        WORD atom = 0;
        EXPECT_EQ(c.NameOrOrdinal(&atom), u"");
        EXPECT_EQ(atom, want.classAtom) << want.id;
        WORD textOrdinal = 0;
        EXPECT_TRUE(c.NameOrOrdinal(&textOrdinal) == want.text) << want.id;
        EXPECT_EQ(c.Word(), 0);  // no creation data
    }
}

TEST(Resources, IconOneSixteenColoursInGroupIcon102) {
    DWORD size = 0;
    const BYTE* group = Resource(RT_GROUP_ICON, MAKEINTRESOURCEA(IDI_APP_GROUP), kJapanese, &size);
    ASSERT_NE(group, nullptr);
    Cursor g(group);
    EXPECT_EQ(g.Word(), 0);
    EXPECT_EQ(g.Word(), 1);  // icons
    ASSERT_EQ(g.Word(), 1);  // one image
    EXPECT_EQ(g.Byte(), 16);
    EXPECT_EQ(g.Byte(), 16);
    EXPECT_EQ(g.Byte(), 16);  // colours
    g.Byte();
    g.Word();
    EXPECT_EQ(g.Word(), 4);  // bits per pixel
    g.Dword();
    EXPECT_EQ(g.Word(), 1);  // the image's id
    const BYTE* image = Resource(RT_ICON, MAKEINTRESOURCEA(1), kJapanese);
    ASSERT_NE(image, nullptr);
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(image);
    EXPECT_EQ(header->biWidth, 16);
    EXPECT_EQ(header->biHeight, 32);  // image and mask
    EXPECT_EQ(header->biBitCount, 4);
}

namespace {
// The built program, beside this test's folder.
std::string ProgramPath() {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path = self;
    path.erase(path.find_last_of('\\'));
    return path.substr(0, path.find_last_of('\\') + 1) + "bin\\VaxuConverter.exe";
}

std::string VersionString(const std::vector<BYTE>& info, const char* name) {
    char* value = nullptr;
    UINT size = 0;
    std::string query = std::string("\\StringFileInfo\\041103a4\\") + name;
    if (!VerQueryValueA(info.data(), query.c_str(), reinterpret_cast<void**>(&value), &size)) return "<none>";
    return value;
}
}  // namespace

TEST(Resources, ProgramCarriesItsVersionAndManifest) {
    const std::string program = ProgramPath();
    DWORD ignored = 0, size = GetFileVersionInfoSizeA(program.c_str(), &ignored);
    ASSERT_GT(size, 0u) << program;
    std::vector<BYTE> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(program.c_str(), 0, size, info.data()));
    WORD* translation = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    EXPECT_EQ(translation[0], 0x0411);
    EXPECT_EQ(translation[1], 932);
    EXPECT_EQ(VersionString(info, "FileDescription"), "ヴァクスファイルコンバーター");
    EXPECT_EQ(VersionString(info, "ProductName"), "ヴァクスファイルコンバーター");
    EXPECT_EQ(VersionString(info, "FileVersion"), VAXU_VERSION_TEXT);
    EXPECT_EQ(VersionString(info, "OriginalFilename"), "VaxuConverter.exe");

    HMODULE module = LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
    ASSERT_NE(found, nullptr);
    std::string manifest(static_cast<const char*>(LockResource(LoadResource(module, found))),
                         SizeofResource(module, found));
    FreeLibrary(module);
    for (const char* id : {"e2011457-1546-43c5-a5fe-008deee3d3f0", "35138b9a-5d96-4fbd-8e2d-a2440225f93a",
                           "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38", "1f676c76-80e1-4239-95bb-83d0f6d0da78",
                           "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a", ">true</dpiAware>",
                           "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""})
        EXPECT_NE(manifest.find(id), std::string::npos) << id;
    EXPECT_EQ(manifest.find("<trustInfo"), std::string::npos) << "no execution level: UAC virtualization stays on";
    EXPECT_EQ(manifest.find("requestedExecutionLevel level"), std::string::npos);
}

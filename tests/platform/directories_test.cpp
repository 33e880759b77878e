#include "platform/directories.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/win_support.h"

using wintest::Folder;
using wintest::IsDir;
using wintest::IsFile;
using wintest::MakeDir;
using wintest::MakeFile;

namespace {
StrBuf Buf(const std::string& text) {
    StrBuf b;
    b.Assign(text.c_str());
    return b;
}

std::vector<std::string> Listed(const StrList& list) {
    std::vector<std::string> out;
    for (int i = 0; i < list.Count(); ++i) out.push_back(list[i].Text());
    return out;
}

size_t IndexOf(const std::vector<std::string>& v, const std::string& s) {
    return static_cast<size_t>(std::find(v.begin(), v.end(), s) - v.begin());
}
}  // namespace

TEST(MakeDirPath, CreatesMissingParentsAndRestoresTheCurrentDirectory) {
    Folder root;
    std::string before = wintest::CurrentDir();
    EXPECT_TRUE(MakeDirPath(Buf(root / "A\\B\\C\\")));
    EXPECT_TRUE(IsDir(root / "A\\B\\C"));
    EXPECT_TRUE(MakeDirPath(Buf(root / "A\\B2")));  // no trailing backslash
    EXPECT_TRUE(IsDir(root / "A\\B2"));
    EXPECT_TRUE(MakeDirPath(Buf(root.Path())));  // exists already
    EXPECT_EQ(wintest::CurrentDir(), before);
}

TEST(MakeDirPath, FailsOnAFileAndOnAParentThatIsAFile) {
    Folder root;
    ASSERT_TRUE(MakeFile(root / "file"));
    EXPECT_FALSE(MakeDirPath(Buf(root / "file")));
    EXPECT_FALSE(MakeDirPath(Buf(root / "file\\sub\\")));
    EXPECT_TRUE(IsFile(root / "file"));
}

TEST(MakeDirPath, JapaneseNamesWithABackslashTrailByte) {
    // "ソ", "表" and "能" end in the byte 0x5C in code page 932.
    Folder root;
    std::string target = root / "ソフト\\表\\能\\";
    EXPECT_TRUE(MakeDirPath(Buf(target)));
    EXPECT_TRUE(IsDir(target));
    EXPECT_EQ(wintest::NamesIn(root.Path()), std::vector<std::string>{"ソフト"});
    EXPECT_EQ(wintest::NamesIn(root / "ソフト"), std::vector<std::string>{"表"});
    EXPECT_TRUE(MakeDirPath(Buf(root / "能")));  // ends in 0x5C, no real separator
    EXPECT_EQ(wintest::NamesIn(root.Path()).size(), 2u);
}

TEST(ListFiles, ListsPathsUnderTheRootWithOneSeparator) {
    Folder root;
    MakeFile(root / "a.txt");
    MakeDir(root / "d");
    MakeFile(root / "d\\b.txt");
    StrList out;
    StrBuf first = Buf("kept");
    out.PushBack(first);
    std::string noSlash = root.Path().substr(0, root.Path().size() - 1);
    ASSERT_TRUE(ListFiles(Buf(noSlash), out, "*", false, true));
    // Without recursion only the plain files directly in the root.
    EXPECT_EQ(Listed(out), (std::vector<std::string>{"kept", root / "a.txt"}));
}

TEST(ListFiles, SearchesSubfoldersLastInFirstOut) {
    Folder root;
    for (const char* d : {"d1", "d2", "d3"}) {
        MakeDir(root / d);
        MakeFile(root / d + "\\f");
    }
    MakeDir(root / "d2\\deep");
    MakeFile(root / "d2\\deep\\g");
    StrList out;
    ASSERT_TRUE(ListFiles(Buf(root.Path()), out, "*", true, true));
    std::vector<std::string> got = Listed(out);
    ASSERT_EQ(got.size(), 8u);
    for (const std::string& p : got) {
        EXPECT_EQ(p.find("\\.\\"), std::string::npos);
        EXPECT_NE(p.substr(p.size() - 2), "\\.");
    }
    // Folders are listed in the order found; the last found is searched first.
    std::vector<std::string> found;
    for (const std::string& p : got)
        if (IsDir(p) && p.find("deep") == std::string::npos) found.push_back(p);
    ASSERT_EQ(found.size(), 3u);
    std::vector<std::string> searched(found.rbegin(), found.rend());
    for (size_t i = 1; i < searched.size(); ++i)
        EXPECT_LT(IndexOf(got, searched[i - 1] + "\\f"), IndexOf(got, searched[i] + "\\f"));
    // A folder's own subfolders are searched before the rest of its parent's.
    size_t d2 = IndexOf(searched, root / "d2");
    for (size_t i = d2 + 1; i < searched.size(); ++i)
        EXPECT_LT(IndexOf(got, root / "d2\\deep\\g"), IndexOf(got, searched[i] + "\\f"));
}

TEST(ListFiles, RootEndingInABackslashTrailByteIsStillAFolderName) {
    Folder root;
    MakeDir(root / "ソ");
    MakeFile(root / "ソ\\a.txt");
    StrList out;
    ListFiles(Buf(root / "ソ"), out, "*", false, false);
    EXPECT_EQ(Listed(out), std::vector<std::string>{root / "ソ\\a.txt"});
}

TEST(RemoveTree, RemovesNestedTreesAndEmptyFolders) {
    Folder root;
    MakeDir(root / "t");
    MakeDir(root / "t\\a");
    MakeDir(root / "t\\a\\b");
    MakeFile(root / "t\\a\\b\\f.txt");
    MakeFile(root / "t\\a\\g.txt");
    MakeDir(root / "t\\ソフト");
    MakeFile(root / "t\\ソフト\\h.txt");
    EXPECT_TRUE(RemoveTree(Buf(root / "t\\")));
    EXPECT_FALSE(IsDir(root / "t"));
    MakeDir(root / "empty");
    EXPECT_TRUE(RemoveTree(Buf(root / "empty")));
    EXPECT_FALSE(IsDir(root / "empty"));
}

TEST(RemoveTree, MissingRootOrAFileRemovesNothing) {
    Folder root;
    EXPECT_FALSE(RemoveTree(Buf(root / "missing")));
    MakeFile(root / "file");
    EXPECT_FALSE(RemoveTree(Buf(root / "file")));
    EXPECT_TRUE(IsFile(root / "file"));
}

TEST(RemoveTree, AFileInUseStaysWithTheFoldersAboveIt) {
    Folder root;
    MakeDir(root / "t");
    MakeDir(root / "t\\keep");
    MakeDir(root / "t\\gone");
    MakeFile(root / "t\\keep\\busy.txt");
    MakeFile(root / "t\\keep\\free.txt");
    MakeFile(root / "t\\gone\\x.txt");
    HANDLE busy = CreateFileA((root / "t\\keep\\busy.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(busy, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(RemoveTree(Buf(root / "t")));
    CloseHandle(busy);
    EXPECT_TRUE(IsFile(root / "t\\keep\\busy.txt"));
    EXPECT_FALSE(IsFile(root / "t\\keep\\free.txt"));
    EXPECT_FALSE(IsDir(root / "t\\gone"));
}

// A link inside the tree is removed as a link; what it points at stays.
// Wine 8 makes no links (CreateSymbolicLinkA does nothing), so there the
// walk's decision is checked on the attributes it reads.
TEST(RemoveTree, LinksAreRemovedNotFollowed) {
    EXPECT_TRUE(EntersFolder(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_FALSE(EntersFolder(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
    EXPECT_FALSE(EntersFolder(FILE_ATTRIBUTE_NORMAL));

    Folder root, target;
    MakeFile(target / "keep.txt", "user data");
    MakeDir(root / "t");
    const std::string link = root / "t\\link";
    CreateSymbolicLinkA(link.c_str(), target.Path().c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY);
    DWORD attributes = GetFileAttributesA(link.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        GTEST_SKIP() << "no directory links here";
    }
    RemoveTree(Buf(root / "t"));
    EXPECT_FALSE(IsDir(root / "t"));
    EXPECT_TRUE(IsFile(target / "keep.txt"));
}

#include "platform/directories.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/win_support.h"

using wintest::Folder;
using wintest::IsDir;
using wintest::IsFile;

namespace {
StrBuf Buf(const std::string& text) {
    StrBuf b;
    b.Assign(text.c_str());
    return b;
}

// Makes the entries under root: names ending in "\" are folders.
void Tree(const Folder& root, const std::vector<std::string>& entries) {
    for (const std::string& e : entries)
        e.back() == '\\' ? wintest::MakeDir(root / e) : wintest::MakeFile(root / e);
}

std::vector<std::string> List(const std::string& root, bool recurse, bool folders, const char* pattern = "*") {
    StrList out;
    StrBuf kept = Buf("kept");
    out.PushBack(kept);
    EXPECT_TRUE(ListFiles(Buf(root), out, pattern, recurse, folders));
    std::vector<std::string> paths;
    for (int i = 1; i < out.Count(); ++i) paths.push_back(out[i].Text());
    EXPECT_STREQ(out[0].Text(), "kept") << "appended after what the list held";
    return paths;
}
}  // namespace

// "ソ", "表" and "能" end in the byte 0x5C in code page 932.
TEST(MakeDirPath, CreatesMissingParentsOnlyAndRestoresTheCurrentDirectory) {
    Folder root;
    const std::string before = wintest::CurrentDir();
    Tree(root, {"file"});
    EXPECT_TRUE(MakeDirPath(Buf(root / "ソフト\\表\\能\\")));
    EXPECT_TRUE(MakeDirPath(Buf(root / "A\\B2")));
    EXPECT_TRUE(MakeDirPath(Buf(root / "能")));  // ends in 0x5C: no separator
    EXPECT_TRUE(MakeDirPath(Buf(root.Path())));
    EXPECT_FALSE(MakeDirPath(Buf(root / "file")));
    EXPECT_FALSE(MakeDirPath(Buf(root / "file\\sub\\")));
    EXPECT_TRUE(IsDir(root / "ソフト\\表\\能") && IsDir(root / "A\\B2") && IsFile(root / "file"));
    EXPECT_EQ(wintest::NamesIn(root.Path()), (std::vector<std::string>{"A", "file", "ソフト", "能"}));
    EXPECT_EQ(wintest::NamesIn(root / "ソフト"), std::vector<std::string>{"表"});
    EXPECT_EQ(wintest::CurrentDir(), before);
}

TEST(ListFiles, ListsUnderTheRootWithOneSeparator) {
    Folder root;
    Tree(root, {"a.txt", "ソ\\", "ソ\\s.txt", "d\\", "d\\deep\\", "d\\deep\\g"});
    const std::string noSlash = root.Path().substr(0, root.Path().size() - 1);
    EXPECT_EQ(List(noSlash, false, true), std::vector<std::string>{root / "a.txt"}) << "no folders without recursion";
    EXPECT_EQ(List(root / "ソ", false, false), std::vector<std::string>{root / "ソ\\s.txt"});
    EXPECT_EQ(List(root.Path(), true, false, "d*").size(), 0u) << "the pattern applies at every level";
    EXPECT_EQ(List(root / "ソ", true, true, "*.none").size(), 0u) << "a search that finds nothing is no failure";
    std::vector<std::string> all = List(root.Path(), true, true);
    std::sort(all.begin(), all.end());
    EXPECT_EQ(all, (std::vector<std::string>{root / "a.txt", root / "d", root / "d\\deep", root / "d\\deep\\g", root / "ソ",
                                             root / "ソ\\s.txt"}));
}

TEST(RemoveTree, RemovesWhatItCanAndReportsTheRest) {
    Folder root;
    Tree(root, {"t\\", "t\\a\\", "t\\a\\b\\", "t\\a\\b\\f.txt", "t\\ソフト\\", "t\\ソフト\\h.txt", "empty\\", "file",
                "u\\", "u\\keep\\", "u\\keep\\busy.txt", "u\\keep\\free.txt", "u\\gone\\", "u\\gone\\x.txt"});
    EXPECT_TRUE(RemoveTree(Buf(root / "t\\")));
    EXPECT_TRUE(RemoveTree(Buf(root / "empty")));
    EXPECT_FALSE(RemoveTree(Buf(root / "missing")));
    EXPECT_FALSE(RemoveTree(Buf(root / "file")));
    HANDLE busy = CreateFileA((root / "u\\keep\\busy.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_FALSE(RemoveTree(Buf(root / "u")));
    CloseHandle(busy);
    EXPECT_EQ(wintest::NamesIn(root.Path()), (std::vector<std::string>{"file", "u"}));
    EXPECT_EQ(wintest::NamesIn(root / "u"), std::vector<std::string>{"keep"});
    EXPECT_EQ(wintest::NamesIn(root / "u\\keep"), std::vector<std::string>{"busy.txt"});
}

// A link inside the tree is removed as a link; what it points at stays.
// Wine 8 makes no links (CreateSymbolicLinkA does nothing), so there the
// walk's decision is checked on the attributes it reads.
TEST(RemoveTree, LinksAreRemovedNotFollowed) {
    EXPECT_TRUE(EntersFolder(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_FALSE(EntersFolder(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
    EXPECT_FALSE(EntersFolder(FILE_ATTRIBUTE_NORMAL));
    Folder root, target;
    Tree(target, {"keep.txt"});
    Tree(root, {"t\\"});
    const std::string link = root / "t\\link";
    CreateSymbolicLinkA(link.c_str(), target.Path().c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY);
    DWORD attributes = GetFileAttributesA(link.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        GTEST_SKIP() << "no directory links here";
    RemoveTree(Buf(root / "t"));
    EXPECT_FALSE(IsDir(root / "t"));
    EXPECT_TRUE(IsFile(target / "keep.txt"));
}

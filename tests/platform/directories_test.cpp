#include "platform/directories.h"

#include <gtest/gtest.h>

#include "platform/win_support.h"
#include "test_support.h"

using test::Buf;
using wintest::NamesIn;
using Names = std::vector<std::string>;

namespace {
// Makes the entries under root: names ending in "\" are folders.
void Tree(const test::TempDir& root, const Names& entries) {
    for (const std::string& e : entries) e.back() == '\\' ? test::MakeFolder(root / e) : test::WriteBytes(root / e);
}
}  // namespace

TEST(RemoveTree, RemovesWhatItCanAndReportsTheRest) {
    test::TempDir root;
    Tree(root, {"t\\", "t\\a\\", "t\\a\\f.txt", "t\\ソフト\\", "t\\ソフト\\h.txt", "empty\\", "file", "u\\", "u\\keep\\",
                "u\\keep\\busy.txt", "u\\keep\\free.txt", "u\\gone\\", "u\\gone\\x.txt"});
    EXPECT_TRUE(RemoveTree(Buf(root / "t\\")) && RemoveTree(Buf(root / "empty")));
    EXPECT_FALSE(RemoveTree(Buf(root / "missing")) || RemoveTree(Buf(root / "file")));
    HANDLE busy = CreateFileA((root / "u\\keep\\busy.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(RemoveTree(Buf(root / "u")));
    CloseHandle(busy);
    EXPECT_EQ(NamesIn(root.Path()), (Names{"file", "u"}));
    EXPECT_EQ(NamesIn(root / "u"), Names{"keep"});
    EXPECT_EQ(NamesIn(root / "u\\keep"), Names{"busy.txt"});
}

// A link inside the tree, or the tree's root being a link, is removed as a
// link; what it points at stays. Wine 8 makes no links, so there only the
// decision is checked, on the attributes the walk reads.
TEST(RemoveTree, LinksAreRemovedNotFollowed) {
    EXPECT_TRUE(EntersFolder(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_FALSE(EntersFolder(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
    EXPECT_FALSE(EntersFolder(FILE_ATTRIBUTE_NORMAL));
    test::TempDir root, target;
    Tree(target, {"keep.txt"});
    Tree(root, {"t\\"});
    const std::string link = root / "t\\link";
    CreateSymbolicLinkA(link.c_str(), target.Path().c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY);
    if (!(GetFileAttributesA(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) || !wintest::IsDir(link))
        GTEST_SKIP() << "no directory links here (Wine makes none): only the decision above is checked";
    RemoveTree(Buf(root / "t"));
    EXPECT_FALSE(wintest::IsDir(root / "t"));
    EXPECT_TRUE(wintest::IsFile(target / "keep.txt"));
    CreateSymbolicLinkA((root / "t").c_str(), target.Path().c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY);
    EXPECT_TRUE(RemoveTree(Buf(root / "t\\")));
    EXPECT_FALSE(wintest::IsDir(root / "t"));
    EXPECT_TRUE(wintest::IsFile(target / "keep.txt"));
}

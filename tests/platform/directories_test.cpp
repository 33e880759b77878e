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
// link, never entered. Wine makes no links, so the decision is checked on
// the attributes the walk reads.
TEST(RemoveTree, EntersFoldersButNotLinks) {
    EXPECT_TRUE(EntersFolder(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN) &&
                !EntersFolder(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT) &&
                !EntersFolder(FILE_ATTRIBUTE_NORMAL));
}

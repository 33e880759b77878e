#include "text/lists.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "test_support.h"


TEST(Lists, FailedGrowthLosesNothing) {
    CommandList commands;  // a copy keeps "no storage" apart from "empty"
    CommandEntry e;
    e.name.Assign("n"), e.path.Assign("p"), e.folder.Reserve(0);
    ASSERT_TRUE(commands.PushBack(e));
    for (long k = 1;; ++k) {  // the storage, then each field's copy in turn
        test::AllocFailure fail(k);
        bool pushed = commands.PushBack(e);
        if (!alloc_fault::Injected()) break;
        EXPECT_FALSE(pushed) << k;
        EXPECT_EQ(commands.Count(), 1);
    }
    ASSERT_EQ(commands.Count(), 2);
    for (int i = 0; i < 2; ++i)
        EXPECT_TRUE(commands[i].folder.HasStorage() && !commands[i].comment.HasStorage() &&
                    std::string(commands[i].path.Text()) == "p");
}

// Folder removal sorts paths in descending order: contents before folders.
TEST(Lists, SortsDescendingWithEmptyStringsLast) {
    StrList list;
    std::vector<std::string> expect = {"C:\\t", "", "C:\\t\\a\\f.txt", "C:\\t\\a"}, sorted;
    for (int i = 0; i < 2000; ++i) expect.push_back(std::to_string((i * 7919) % 500));  // duplicates included
    for (const std::string& t : expect) list.PushBack(test::Buf(t));
    list.Sort(1, 0, false);
    list.Sort(0, list.Count() - 1, false);
    std::sort(expect.rbegin(), expect.rend());
    for (int i = 0; i < list.Count(); ++i) sorted.push_back(list[i].Text());
    EXPECT_EQ(sorted, expect);
}

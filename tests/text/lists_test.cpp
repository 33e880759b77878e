#include "text/lists.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "test_support.h"

namespace {
void Fill(StrList& list, const std::vector<const char*>& texts) {
    for (const char* t : texts) {
        StrBuf b;
        b.Assign(t);
        list.PushBack(b);
    }
}

std::vector<std::string> Texts(const StrList& list) {
    std::vector<std::string> out;
    for (int i = 0; i < list.Count(); ++i) out.push_back(list[i].Text());
    return out;
}
}  // namespace

TEST(Lists, PushBackDoublesAndKeepsOneSlotFree) {
    StrList list;
    EXPECT_EQ(list.Capacity(), 0);
    StrBuf item;
    item.Assign("x");
    const int expected[] = {2, 4, 4, 8, 8, 8, 8, 16, 16};
    for (int i = 0; i < 9; ++i) {
        ASSERT_TRUE(list.PushBack(item));
        EXPECT_EQ(list.Capacity(), expected[i]) << "after element " << i + 1;
        EXPECT_LT(list.Count(), list.Capacity());
    }
    EXPECT_EQ(list.ByteSize(), 16 * static_cast<int>(sizeof(StrBuf)));
}

TEST(Lists, GrowthKeepsOrderAndEachStringsState) {
    CommandList list;
    for (int i = 0; i < 20; ++i) {
        CommandEntry e;
        e.name.Assign(std::to_string(i).c_str());
        if (i % 2) e.comment.Reserve(0);  // empty, with storage
        ASSERT_TRUE(list.PushBack(e));
    }
    for (int i = 0; i < 20; ++i) {
        EXPECT_STREQ(list[i].name.Text(), std::to_string(i).c_str());
        EXPECT_FALSE(list[i].folder.HasStorage());
        EXPECT_EQ(list[i].comment.HasStorage(), i % 2 == 1);
        EXPECT_TRUE(list[i].comment.IsEmpty());
    }
}

TEST(Lists, PushingAnElementOfTheListItselfSurvivesGrowth) {
    StrList list;
    Fill(list, {"a"});
    ASSERT_EQ(list.Capacity(), 2);
    ASSERT_TRUE(list.PushBack(list[0]));
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"a", "a"}));
}

TEST(Lists, ResizeAndPopBackClearSlotsButKeepStorage) {
    StrList list;
    Fill(list, {"a", "b", "c"});
    ASSERT_EQ(list.Capacity(), 4);
    ASSERT_TRUE(list.Resize(1));
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Capacity(), 4);
    EXPECT_FALSE(list[1].HasStorage());
    EXPECT_FALSE(list[2].HasStorage());
    ASSERT_TRUE(list.Resize(3));
    EXPECT_FALSE(list[2].HasStorage());

    StrList two;
    Fill(two, {"a", "b"});
    StrBuf last = two.PopBack();
    EXPECT_STREQ(last.Text(), "b");
    EXPECT_EQ(Texts(two), std::vector<std::string>{"a"});
    EXPECT_EQ(two.Capacity(), 4);
    EXPECT_FALSE(two[1].HasStorage());
}

TEST(Lists, WipeAllAndClear) {
    StrList list;
    Fill(list, {"a", "b", "c"});
    list.WipeAll();
    EXPECT_EQ(list.Count(), 3);
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(list[i].HasStorage());
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Capacity(), 4);
}

TEST(Lists, FailedGrowthReportsFalseAndLosesNothing) {
    StrList list;
    Fill(list, {"a"});
    StrBuf item;
    item.Assign("b");
    {
        test::AllocFailure fail(1);
        EXPECT_FALSE(list.PushBack(item));  // growth from 2 to 4 slots fails
    }
    EXPECT_EQ(Texts(list), std::vector<std::string>{"a"});
    {
        test::AllocFailure fail(2);  // storage is had, the copy of the text is not
        EXPECT_FALSE(list.PushBack(item));
    }
    EXPECT_EQ(Texts(list), std::vector<std::string>{"a"});
    EXPECT_TRUE(list.PushBack(item));
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"a", "b"}));
}

TEST(Lists, SortPutsEmptyStringsFirstAscendingAndLastDescending) {
    StrList list;
    Fill(list, {"b", "", "a", "c"});
    list.Sort(0, 3, true);
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"", "a", "b", "c"}));
    StrList down;
    Fill(down, {"b", "", "a", "c"});
    down.Sort(0, 3, false);
    EXPECT_EQ(Texts(down), (std::vector<std::string>{"c", "b", "a", ""}));
}

TEST(Lists, DescendingSortPutsPathsBeforeTheirPrefixes) {
    StrList list;
    Fill(list, {"C:\\t", "C:\\t\\a", "C:\\t\\a\\f.txt"});
    list.Sort(0, 2, false);
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"C:\\t\\a\\f.txt", "C:\\t\\a", "C:\\t"}));
}

TEST(Lists, SortHandlesEmptyRangesDuplicatesAndLargeInputs) {
    StrList empty;
    empty.Sort(0, -1, true);
    EXPECT_EQ(empty.Count(), 0);
    StrList one;
    Fill(one, {"z", "a"});
    one.Sort(1, 1, true);
    EXPECT_EQ(Texts(one), (std::vector<std::string>{"z", "a"}));

    StrList many;
    std::vector<std::string> expect;
    for (int i = 0; i < 2000; ++i) {
        std::string t = std::to_string((i * 7919) % 500);  // duplicates included
        StrBuf b;
        b.Assign(t.c_str());
        many.PushBack(b);
        expect.push_back(t);
    }
    many.Sort(0, many.Count() - 1, true);
    std::sort(expect.begin(), expect.end());
    EXPECT_EQ(Texts(many), expect);
}

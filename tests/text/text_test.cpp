// The text buffer, the lists and the unquoting of pasted paths. The fuzzer's
// model of the buffer (replayed from its corpus) cannot state storage
// against empty text, or failed growth: those are checked here. Long text,
// trail bytes and order are checked where the reader, the conversion and
// the list sort rely on them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "test_support.h"
#include "text/lists.h"
#include "text/strbuf.h"
#include "text/unquote.h"

TEST(StrBuf, StorageSelfCopiesAndFailedGrowthKeepTheText) {
    StrBuf none, copy, reserved;
    ASSERT_TRUE(reserved.Reserve(0) && copy.Assign(reserved) && copy.HasStorage() && copy.Capacity() == 16);
    ASSERT_TRUE(copy.Assign(none) && !copy.HasStorage());
    EXPECT_TRUE(copy.Append(none) && StrBuf::Equals(none, reserved) && !copy.Reserve(0x7FFFFFFF)) << "empty; too big";
    StrBuf blanks = test::Buf("\t\r\n\x0B\x0C x \r");
    EXPECT_STREQ((blanks.Trim(), blanks.Text()), "x");
    ASSERT_TRUE(copy.Assign("abc") && copy.Append("de") && copy.Append(static_cast<const char*>(nullptr)) &&
                copy.Capacity() == 16);
    ASSERT_TRUE(copy.Assign(copy) && copy.Assign(copy.Text() + 1) && copy.Append(copy.Text()));
    EXPECT_STREQ(copy.Text(), "bcdebcde");
    {
        test::AllocFailure fail(1, true);
        EXPECT_FALSE(copy.Append("more text that needs room"));
        bool grown = true;
        for (int i = 0; i < 8; ++i) grown = copy.AppendChar('x') && grown;
        EXPECT_FALSE(grown);
        EXPECT_FALSE(Concat(copy, "a longer name that needs more room").HasStorage());
        EXPECT_FALSE(none.Assign("abc") || none.HasStorage());
    }
    EXPECT_EQ(std::string(copy.Text()).substr(0, 8), "bcdebcde") << "failed growth keeps the text";
    test::AllocFailure fail(1);  // the copy of the first part fails, the second's would not
    EXPECT_FALSE(Concat(copy, "b").HasStorage()) << "half a joined text is none";
}

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

// One pair of enclosing quotes goes, with the blanks outside it; the bytes
// given up become zero.
TEST(UnquotePath, RemovesOnePairOfEnclosingQuotesAndTheBlanksOutside) {
    struct Case { const char *in, *out; } cases[] = {
        {"\"C:\\a b\\path.txt\"", "C:\\a b\\path.txt"}, {"  \"C:\\ソ\\表.txt\"\t", "C:\\ソ\\表.txt"},
        {"\"\"", ""}, {"\"\"x\"\"", "\"x\""},  // one pair only
        {"  C:\\plain.txt ", "  C:\\plain.txt "}, {"   ", "   "},  // blanks stay without quotes
        {"\"C:\\open.txt", "\"C:\\open.txt"}, {"\"", "\""},
    };
    for (const Case& c : cases) {
        char buffer[64];
        std::memset(buffer, 'z', sizeof buffer);
        std::strcpy(buffer, c.in);
        UnquotePath(buffer);
        EXPECT_STREQ(buffer, c.out) << c.in;
        for (size_t i = std::strlen(c.out); i <= std::strlen(c.in); ++i) EXPECT_EQ(buffer[i], 0) << c.in;
    }
}

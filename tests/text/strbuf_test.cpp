// What the fuzzer's model of the text buffer (replayed from its corpus)
// cannot state: storage against empty text, and failed growth. Long text,
// trail bytes and order are checked where the reader, the conversion and
// the list sort rely on them.
#include "text/strbuf.h"

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

TEST(StrBuf, StorageSelfCopiesAndFailedGrowthKeepTheText) {
    StrBuf none, copy, reserved;
    ASSERT_TRUE(reserved.Reserve(0) && copy.Assign(reserved) && copy.HasStorage() && copy.Capacity() == 16);
    ASSERT_TRUE(copy.Assign(none) && !copy.HasStorage());
    ASSERT_TRUE(copy.Assign("abc") && copy.Append("de") && copy.Capacity() == 16);
    ASSERT_TRUE(copy.Assign(copy.Text() + 1) && copy.Append(copy.Text()));
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

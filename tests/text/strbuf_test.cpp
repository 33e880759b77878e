// What the fuzzer's model of the text buffer (replayed from its corpus)
// cannot state: storage against empty text, failures, long text, order
// and formatting.
#include "text/strbuf.h"

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

using test::Buf;

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

// The model covers double-byte text in short buffers; these are long ones
// and the calls it does not make. 83 5C ("ソ") ends in a backslash.
TEST(StrBuf, LongTextAndTrailBytesThatLookLikeSeparators) {
    EXPECT_EQ(Buf(std::string(40000, 'x') + "]y").Find("]", 39000), 40000) << "positions past 32767 do not wrap";
    StrBuf path = Buf("C:\\\x83\x5C");
    EXPECT_EQ(path.FindLastChar('\\'), 2);
    EXPECT_FALSE(path.EndsWithChar('\\'));
}

TEST(StrBuf, EqualsOrderAndFormat) {
    StrBuf none, empty = Buf(""), a = Buf("a"), b = Buf("b");
    EXPECT_TRUE(StrBuf::Equals(none, empty) && !StrBuf::Equals(empty, a) && StrBuf::Equals(a, Buf("a")));
    EXPECT_TRUE(Less(empty, a) && !Less(a, empty) && !Less(none, empty) && Less(a, b));
    EXPECT_TRUE(Greater(b, a) && !Greater(empty, a));
    ASSERT_TRUE(b.Format("%s%d", "C:\\VAXU\\", -42));
    EXPECT_STREQ(b.Text(), "C:\\VAXU\\-42");
    b.Format("%s", std::string(3000, 'x').c_str());
    EXPECT_TRUE(b.Length() == 1023 && b.Capacity() == 1024);
}

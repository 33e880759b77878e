// What the fuzzer's model of the text buffer (replayed from its corpus)
// cannot state: storage against empty text, failures, order and
// formatting, and double-byte cases picked by hand.
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
}

// 83 5D has the trail byte "]", 83 20 one that looks like a blank, 83 5C
// ("ソ") a backslash; 81 40 is the ideographic space.
TEST(StrBuf, DoubleByteCharactersAreUnits) {
    EXPECT_EQ(Buf("a\x83\x5D" "b]c").Find("]", 0), 4);
    EXPECT_EQ(Buf(std::string(40000, 'x') + "]y").Find("]", 39000), 40000) << "positions past 32767 do not wrap";
    for (const char* kept : {"\x81\x40x\x81\x40", "x\x83\x20", "ab\x83"}) {
        StrBuf s = Buf(kept);
        s.Trim();
        EXPECT_STREQ(s.Text(), kept);
    }
    StrBuf path = Buf("C:\\\x83\x5C");
    EXPECT_EQ(path.FindLastChar('\\'), 2);
    EXPECT_FALSE(path.EndsWithChar('\\'));
    StrBuf line = Buf("#Window  640\t480 \x83\x20" "b \x83"), token;
    std::string tokens;
    for (bool first = true; line.NextToken(token, "\t ", first) && token.HasStorage(); first = false)
        tokens += std::string(token.Text()) + "|";
    EXPECT_EQ(tokens, "#Window|640|480|\x83\x20" "b|");  // a lone lead byte is no token
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

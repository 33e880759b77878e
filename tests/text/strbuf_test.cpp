// What the fuzzer's model of the text buffer cannot state: the capacity
// rule, storage against empty text, failures, order and formatting, and
// the double-byte cases picked by hand.
#include "text/strbuf.h"

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace {
StrBuf Make(const char* text) {
    StrBuf b;
    b.Assign(text);
    return b;
}
}  // namespace

TEST(StrBuf, CapacityRuleAndStorageAgainstEmptyText) {
    StrBuf b;
    const struct {
        int reserve, capacity;
    } steps[] = {{0, 16}, {16, 32}, {10, 32}, {500, 512}, {1000, 1024}};
    for (const auto& s : steps) {
        b.Assign("keep?");
        ASSERT_TRUE(b.Reserve(s.reserve));
        EXPECT_EQ(b.Capacity(), s.capacity) << s.reserve;
        EXPECT_TRUE(b.IsEmpty() && b.HasStorage()) << "Reserve never keeps the text";
    }
    StrBuf none, copy;
    ASSERT_TRUE(copy.Assign(b));  // empty, with storage: 16 bytes of it
    EXPECT_EQ(copy.Capacity(), 16);
    ASSERT_TRUE(copy.Assign(none));
    EXPECT_FALSE(copy.HasStorage());
    copy.Assign("abc");
    ASSERT_TRUE(copy.Append("de"));
    EXPECT_EQ(copy.Capacity(), 16);
    ASSERT_TRUE(copy.Assign(copy.Text() + 1));
    ASSERT_TRUE(copy.Append(copy.Text()));
    EXPECT_STREQ(copy.Text(), "bcdebcde");
    ASSERT_TRUE(copy.Assign(static_cast<const char*>(nullptr)));
    EXPECT_FALSE(copy.HasStorage());
}

TEST(StrBuf, FailedGrowthKeepsTheText) {
    StrBuf b = Make("0123456789abc");
    {
        test::AllocFailure fail(1, true);
        EXPECT_FALSE(b.Append("more text that needs room"));
        EXPECT_FALSE(b.AppendChar('x') && b.AppendChar('y') && b.AppendChar('z'));
        EXPECT_FALSE(Concat(b, "a longer name that needs more room").HasStorage());
    }
    EXPECT_EQ(std::string(b.Text()).substr(0, 13), "0123456789abc");
    test::AllocFailure fail(1);
    StrBuf c;
    EXPECT_FALSE(c.Assign("abc"));
    EXPECT_EQ(c.Capacity(), 0);
}

// 83 5C is "ソ" (trail byte "\"), 83 5D a trail byte "]", 83 20 a trail byte
// that looks like a blank, 81 40 the ideographic space.
TEST(StrBuf, DoubleByteCharactersAreUnits) {
    StrBuf b = Make("a\x83\x5D" "b]c");
    EXPECT_EQ(b.Find("]", 0), 4);
    EXPECT_EQ(b.Find("]", 5), -1);
    EXPECT_EQ(b.Find("]", 1000), -1);  // past the capacity
    std::string longText = std::string(40000, 'x') + "]y";
    EXPECT_EQ(Make(longText.c_str()).Find("]", 39000), 40000) << "positions past 32767 do not wrap";

    const struct {
        const char* text;
        const char* trimmed;
    } trims[] = {{"\t  ab c \r", "ab c"}, {"\x81\x40x\x81\x40", "\x81\x40x\x81\x40"}, {"x\x83\x20", "x\x83\x20"},
                 {"ab\x83", "ab\x83"},   {" \v\f\n ", ""}};
    for (const auto& t : trims) {
        StrBuf s = Make(t.text);
        s.Trim();
        EXPECT_STREQ(s.Text(), t.trimmed) << t.text;
    }
    StrBuf path = Make("C:\\\x83\x5C");
    EXPECT_EQ(path.FindLastChar('\\'), 2);
    EXPECT_FALSE(path.EndsWithChar('\\'));
    path.Append("\\");
    EXPECT_TRUE(path.EndsWithChar('\\'));
}

TEST(StrBuf, TokenizerWalksTheBufferAndLeavesItUnchanged) {
    StrBuf b = Make("#Window  640\t480 \x83\x20" "b \x83");
    StrBuf token;
    std::string tokens;
    for (bool first = true; b.NextToken(token, "\t ", first) && token.HasStorage(); first = false)
        tokens += std::string(token.Text()) + "|";
    EXPECT_EQ(tokens, "#Window|640|480|\x83\x20" "b|");  // a lone lead byte is no token
    EXPECT_STREQ(b.Text(), "#Window  640\t480 \x83\x20" "b \x83");
}

TEST(StrBuf, EqualsOrderFormatAndConcat) {
    StrBuf none, empty = Make(""), a = Make("a"), b = Make("b");
    EXPECT_TRUE(StrBuf::Equals(none, empty));
    EXPECT_FALSE(StrBuf::Equals(empty, a));
    EXPECT_TRUE(StrBuf::Equals(a, Make("a")));
    EXPECT_TRUE(Less(empty, a) && !Less(a, empty) && !Less(none, empty) && Less(a, b));
    EXPECT_TRUE(Greater(b, a) && !Greater(empty, a));

    ASSERT_TRUE(b.Format("%s%d", "C:\\VAXU\\", -42));
    EXPECT_STREQ(b.Text(), "C:\\VAXU\\-42");
    EXPECT_EQ(b.Capacity(), 1024);
    b.Format("%s", std::string(3000, 'x').c_str());
    EXPECT_EQ(b.Length(), 1023);
    EXPECT_STREQ(Concat(Make("C:\\T\\"), "a.txt").Text(), "C:\\T\\a.txt");
    StrBuf e = Make("abcdef");
    EXPECT_EQ(e.Erase(1, 2), 6);
    e.TruncateAfter(1);
    EXPECT_STREQ(e.Text(), "ad");
}

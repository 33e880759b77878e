#include "text/strbuf.h"

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace {
// Katakana "so" is 0x83 0x5C in code page 932: its trail byte is a backslash.
const char kSo[] = "\x83\x5C";
// A character whose trail byte is "]" (0x5D).
const char kTrailBracket[] = "\x83\x5D";

StrBuf Make(const char* text) {
    StrBuf b;
    b.Assign(text);
    return b;
}

// True when every byte after the terminator is zero.
bool TailIsZero(StrBuf& b) {
    for (int i = b.Length(); i < b.Capacity(); ++i)
        if (b.Data()[i] != 0) return false;
    return true;
}
}  // namespace

TEST(StrBuf, ReserveGrowsToPowersOfTwoAndAlwaysEmpties) {
    StrBuf b;
    EXPECT_EQ(b.Capacity(), 0);
    ASSERT_TRUE(b.Reserve(0));
    EXPECT_EQ(b.Capacity(), 16);
    ASSERT_TRUE(b.Reserve(16));
    EXPECT_EQ(b.Capacity(), 32);
    b.Assign("keep?");
    ASSERT_TRUE(b.Reserve(10));
    EXPECT_EQ(b.Capacity(), 32);
    EXPECT_TRUE(b.IsEmpty());
    EXPECT_TRUE(TailIsZero(b));
    b.Reserve(500);
    EXPECT_EQ(b.Capacity(), 512);
    b.Reserve(1000);
    EXPECT_EQ(b.Capacity(), 1024);
}

TEST(StrBuf, AssignKeepsTheDifferenceBetweenNoStorageAndEmpty) {
    StrBuf none, empty, copy;
    empty.Reserve(40);
    ASSERT_TRUE(copy.Assign(empty));
    EXPECT_TRUE(copy.HasStorage());
    EXPECT_EQ(copy.Capacity(), 16);
    ASSERT_TRUE(copy.Assign(none));
    EXPECT_FALSE(copy.HasStorage());
    copy.Assign("x");
    ASSERT_TRUE(copy.Assign(static_cast<const char*>(nullptr)));
    EXPECT_FALSE(copy.HasStorage());
}

TEST(StrBuf, AssignFromItsOwnTextIsSafe) {
    StrBuf b = Make("abcdef");
    ASSERT_TRUE(b.Assign(b.Text()));
    EXPECT_STREQ(b.Text(), "abcdef");
    ASSERT_TRUE(b.Assign(b.Text() + 2));
    EXPECT_STREQ(b.Text(), "cdef");
    EXPECT_TRUE(TailIsZero(b));
}

TEST(StrBuf, AppendFollowsTheGrowthRule) {
    StrBuf b;
    ASSERT_TRUE(b.Append("abc"));
    EXPECT_EQ(b.Capacity(), 16);
    ASSERT_TRUE(b.Append("de"));
    EXPECT_EQ(b.Capacity(), 16);
    EXPECT_STREQ(b.Text(), "abcde");
    ASSERT_TRUE(b.Append("0123456789"));  // 15 + 2 needs 32
    EXPECT_EQ(b.Capacity(), 32);
    EXPECT_STREQ(b.Text(), "abcde0123456789");
    StrBuf empty;
    ASSERT_TRUE(b.Append(empty));
    EXPECT_STREQ(b.Text(), "abcde0123456789");
    ASSERT_TRUE(b.Append(b.Text()));  // appending itself
    EXPECT_STREQ(b.Text(), "abcde0123456789abcde0123456789");
}

TEST(StrBuf, FailedGrowthKeepsTheText) {
    StrBuf b = Make("0123456789abc");
    {
        test::AllocFailure fail(1, true);
        EXPECT_FALSE(b.Append("more text that needs room"));
        EXPECT_FALSE(b.AppendChar('x') && b.AppendChar('y') && b.AppendChar('z'));
    }
    EXPECT_EQ(std::string(b.Text()).substr(0, 13), "0123456789abc");
    StrBuf c;
    {
        test::AllocFailure fail(1);
        EXPECT_FALSE(c.Assign("abc"));
        EXPECT_FALSE(c.HasStorage());
        EXPECT_EQ(c.Capacity(), 0);
    }
}

TEST(StrBuf, EraseAndTruncate) {
    StrBuf b = Make("abcdef");
    EXPECT_EQ(b.Erase(2, 100), 6);
    EXPECT_STREQ(b.Text(), "ab");
    EXPECT_TRUE(TailIsZero(b));
    b.Assign("abcdef");
    b.Erase(1, 2);
    EXPECT_STREQ(b.Text(), "adef");
    EXPECT_TRUE(TailIsZero(b));
    b.Assign("abcdef");
    b.TruncateAfter(2);
    EXPECT_STREQ(b.Text(), "abc");
    b.Erase(7, 3);  // past the end: nothing
    b.Erase(-1, 3);
    EXPECT_STREQ(b.Text(), "abc");
    StrBuf none;
    EXPECT_EQ(none.Erase(0, 5), 0);
}

TEST(StrBuf, FindStepsOverDoubleByteCharacters) {
    std::string text = std::string("a") + kTrailBracket + "b]c";
    StrBuf b = Make(text.c_str());
    EXPECT_EQ(b.Find("]", 0), 4);
    EXPECT_EQ(b.Find("]", 4), 4);
    EXPECT_EQ(b.Find("]", 5), -1);
    EXPECT_EQ(b.Find("a", 0), 0);
    EXPECT_EQ(b.Find("zz", 0), -1);
    EXPECT_EQ(b.Find("c]", 0), -1);
    EXPECT_EQ(b.Find("]", 1000), -1);  // past the capacity
    StrBuf none;
    EXPECT_EQ(none.Find("x", 0), -1);
    // Positions past 32767 are plain ints: nothing wraps.
    std::string longText = std::string(40000, 'x') + "]y";
    StrBuf big = Make(longText.c_str());
    EXPECT_EQ(big.Find("]", 39000), 40000);
}

TEST(StrBuf, LoneLeadByteAtTheEndStandsAlone) {
    StrBuf b = Make("ab\x83");
    EXPECT_EQ(b.Find("\x83", 0), 2);
    b.Trim();
    EXPECT_STREQ(b.Text(), "ab\x83");
    StrBuf token;
    EXPECT_TRUE(b.NextToken(token, " ", true));
    EXPECT_STREQ(token.Text(), "ab\x83");
    StrBuf lone = Make("x \x83");
    lone.NextToken(token, " ", true);
    EXPECT_TRUE(lone.NextToken(token, " ", false));
    EXPECT_FALSE(token.HasStorage());
}

TEST(StrBuf, TrimRemovesSingleByteBlanksOnly) {
    StrBuf b = Make("\t  ab c \r");
    b.Trim();
    EXPECT_STREQ(b.Text(), "ab c");
    EXPECT_TRUE(TailIsZero(b));
    // The ideographic space (0x81 0x40) is a character, not a blank.
    b.Assign("\x81\x40x\x81\x40");
    b.Trim();
    EXPECT_STREQ(b.Text(), "\x81\x40x\x81\x40");
    // A trail byte that looks like a blank is part of its character.
    b.Assign("x\x83\x20");
    b.TrimRight();
    EXPECT_STREQ(b.Text(), "x\x83\x20");
    b.Assign(" \v\f\n ");
    b.Trim();
    EXPECT_TRUE(b.IsEmpty());
    EXPECT_TRUE(b.HasStorage());
}

TEST(StrBuf, TokenizerWalksTheBufferAndLeavesItUnchanged) {
    StrBuf b = Make("#Window  640\t480");
    StrBuf token;
    ASSERT_TRUE(b.NextToken(token, "\t ", true));
    EXPECT_STREQ(token.Text(), "#Window");
    ASSERT_TRUE(b.NextToken(token, "\t ", false));
    EXPECT_STREQ(token.Text(), "640");
    ASSERT_TRUE(b.NextToken(token, "\t ", false));
    EXPECT_STREQ(token.Text(), "480");
    EXPECT_TRUE(b.NextToken(token, "\t ", false));
    EXPECT_FALSE(token.HasStorage());  // no further token
    EXPECT_STREQ(b.Text(), "#Window  640\t480");
    // A trail byte equal to a delimiter does not split a character.
    std::string text = std::string("a") + "\x83\x20" + "b c";
    StrBuf dbcs = Make(text.c_str());
    dbcs.NextToken(token, " ", true);
    EXPECT_EQ(std::string(token.Text()), "a\x83\x20" "b");
}

TEST(StrBuf, EqualsAndOrder) {
    StrBuf none, empty = Make(""), a = Make("a"), b = Make("b");
    EXPECT_TRUE(StrBuf::Equals(none, empty));
    EXPECT_FALSE(StrBuf::Equals(empty, a));
    EXPECT_TRUE(StrBuf::Equals(a, Make("a")));
    EXPECT_TRUE(Less(empty, a));
    EXPECT_FALSE(Less(a, empty));
    EXPECT_FALSE(Less(none, empty));
    EXPECT_FALSE(Greater(empty, a));
    EXPECT_TRUE(Greater(b, a));
    EXPECT_TRUE(Less(a, b));
}

TEST(StrBuf, FormatAndConcat) {
    StrBuf b;
    ASSERT_TRUE(b.Format("%s%s", "C:\\VAXU\\", "vaxu.ini"));
    EXPECT_STREQ(b.Text(), "C:\\VAXU\\vaxu.ini");
    EXPECT_EQ(b.Capacity(), 1024);
    b.Format("%d", -42);
    EXPECT_STREQ(b.Text(), "-42");
    std::string longText(3000, 'x');
    b.Format("%s", longText.c_str());
    EXPECT_EQ(b.Length(), 1023);
    StrBuf dir = Make("C:\\T\\");
    StrBuf joined = Concat(dir, "a.txt");
    EXPECT_STREQ(joined.Text(), "C:\\T\\a.txt");
    test::AllocFailure fail(2);
    StrBuf failed = Concat(dir, "a much longer name that needs more room");
    EXPECT_FALSE(failed.HasStorage());
}

TEST(StrBuf, LastCharacterTestsStepOverDoubleByteCharacters) {
    std::string soft = std::string("C:\\") + kSo + "\x83\x74\x83\x67";  // C:\ソフト
    StrBuf b = Make(soft.c_str());
    EXPECT_EQ(b.FindLastChar('\\'), 2);
    EXPECT_FALSE(b.EndsWithChar('\\'));
    std::string endsInSo = std::string("C:\\") + kSo;
    b.Assign(endsInSo.c_str());
    EXPECT_FALSE(b.EndsWithChar('\\'));
    b.Append("\\");
    EXPECT_TRUE(b.EndsWithChar('\\'));
}

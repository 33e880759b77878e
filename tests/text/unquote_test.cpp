#include "text/unquote.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(UnquotePath, RemovesOnePairOfEnclosingQuotesAndTheBlanksOutside) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"\"C:\\a b\\path.txt\"", "C:\\a b\\path.txt"},
        {"  \"C:\\ソ\\表.txt\"\t", "C:\\ソ\\表.txt"},
        {"\"\"", ""},
        {"\"\"x\"\"", "\"x\""},           // one pair only
        {"  C:\\plain.txt ", "  C:\\plain.txt "},  // blanks stay without quotes
        {"\"C:\\open.txt", "\"C:\\open.txt"},
        {"\"", "\""},
        {"   ", "   "},
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

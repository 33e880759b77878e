// The one-pass command file: whole files checked against byte literals.
#include "convert/command_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/command_rows.h"
#include "test_support.h"

namespace {
using test::Row;
const char* const kNone = nullptr;  // a field without storage
}  // namespace

TEST(CommandFile, FollowsTheProfileServiceRules) {
    struct Case {
        const char* rule;
        std::vector<Row> rows;
        std::string bytes;
    } cases[] = {
        {"one section per name, keys in order, empty value kept",
         {{"Mail", "C:\\m.exe", "", "メール"}, {"Tool", "t", kNone, kNone}},
         "[Mail]\r\nPATH=C:\\m.exe\r\nFOLDER=\r\nCOMMENT=メール\r\n[Tool]\r\nPATH=t\r\n"},
        {"ASCII case and end blanks ignored, first spelling written, values replaced in place",
         {{" Mail\t", "a", "f", kNone}, {"MAIL", "b", "g", "c"}},
         "[Mail]\r\nPATH=b\r\nFOLDER=g\r\nCOMMENT=c\r\n"},
        {"a missing field removes its key; written again it goes to the end",
         {{"T", "a", "f", "c"}, {"t", "b", kNone, kNone}, {"T", "c", "g", kNone}},
         "[T]\r\nPATH=c\r\nFOLDER=g\r\n"},
        {"all keys removed: the header stays",
         {{"A", "a", kNone, kNone}, {"B", "b", kNone, kNone}, {"a", kNone, kNone, kNone}},
         "[A]\r\n[B]\r\nPATH=b\r\n"},
        {"missing fields alone never make a section", {{"X", kNone, kNone, kNone}}, ""},
        {"blanks that start a value go, blanks that end it stay",
         {{"S", " \tC:\\s.exe  ", "   ", kNone}},
         "[S]\r\nPATH=C:\\s.exe  \r\nFOLDER=\r\n"},
        // "ア" is 83 41 and "ヂ" 83 61: trail bytes are never folded.
        {"double-byte names match exactly", {{"ア", "1", kNone, kNone}, {"ヂ", "2", kNone, kNone}},
         "[ア]\r\nPATH=1\r\n[ヂ]\r\nPATH=2\r\n"},
        {"full-width letters are not folded", {{"Ａ", "1", kNone, kNone}, {"ａ", "2", kNone, kNone}},
         "[Ａ]\r\nPATH=1\r\n[ａ]\r\nPATH=2\r\n"},
        {"trail bytes 5C, 5B, 5D and INI characters are plain text",
         {{"ソ表ー", "C:\\ソ\\", kNone, ";x=[y]"}, {"x]y", "=", kNone, kNone}},
         "[ソ表ー]\r\nPATH=C:\\ソ\\\r\nCOMMENT=;x=[y]\r\n[x]y]\r\nPATH==\r\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(test::BuildCommandFile(c.rows), c.bytes) << c.rule;
}

// Enough names of different lengths to share hash slots: each is its own section.
TEST(CommandFile, ManyNamesStayApartAndInOrder) {
    std::vector<std::string> names;
    std::vector<Row> rows;
    std::string expected;
    for (int i = 0; i < 3000; ++i) names.push_back("N" + std::to_string(i % 1000));
    for (int i = 0; i < 3000; ++i) rows.push_back({names[i].c_str(), i < 1000 ? "x" : "y", kNone, kNone});
    for (int i = 0; i < 1000; ++i) expected += "[N" + std::to_string(i) + "]\r\nPATH=y\r\n";
    EXPECT_EQ(test::BuildCommandFile(rows), expected);
}

// The one-pass command file: whole files checked against byte literals.
#include "convert/command_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/files.h"
#include "test_support.h"

namespace {
// A command list as rows of texts; a null field has no storage.
struct Row { const char *name, *path, *folder, *comment; };

std::string BuildCommandFile(const std::vector<Row>& rows) {
    CommandList list;
    for (const Row& r : rows) {
        CommandEntry e;
        e.name.Assign(r.name);
        e.path.Assign(r.path);  // Assign(null) leaves the field without storage
        e.folder.Assign(r.folder);
        e.comment.Assign(r.comment);
        list.PushBack(e);
    }
    CommandFileText text;
    EXPECT_TRUE(text.Build(list));
    return std::string(text.Data() ? text.Data() : "", text.Size());
}

const char* const kNone = nullptr;  // a field without storage

// The same rows written one key at a time through the profile service (the
// native build's own writer outside Windows), as the old way did.
std::string KeyByKey(const std::vector<Row>& rows) {
    test::TempDir dir;
    const std::string file = dir / "cmd.txt";
    for (const Row& r : rows) {
        WriteProfileText(r.name, "PATH", r.path, file.c_str());
        WriteProfileText(r.name, "FOLDER", r.folder, file.c_str());
        WriteProfileText(r.name, "COMMENT", r.comment, file.c_str());
    }
    ForgetProfile(file.c_str());
    const std::string bytes = test::ReadBytes(file);
    return bytes == "<missing>" ? "" : bytes;
}
}  // namespace

TEST(CommandFile, FollowsTheProfileServiceRules) {
    // asWine: Wine's WritePrivateProfileStringA, key by key, writes the same.
    struct Case { const char* rule; std::vector<Row> rows; std::string bytes; bool asWine = true; } cases[] = {
        {"one section per name, keys in order, empty value kept",
         {{"Mail", "C:\\m.exe", "", "メール"}, {"Tool", "t", kNone, kNone}},
         "[Mail]\r\nPATH=C:\\m.exe\r\nFOLDER=\r\nCOMMENT=メール\r\n[Tool]\r\nPATH=t\r\n"},
        {"ASCII case and end blanks ignored, first spelling written, values replaced in place",
         {{" Mailz  ", "a", "f", kNone}, {"MAILZ", "b", "g", "c"}},
         "[Mailz]\r\nPATH=b\r\nFOLDER=g\r\nCOMMENT=c\r\n", false},  // Wine trims names only when writing
        {"a missing field removes its key; written again it goes to the end",
         {{"T", "a", "f", "c"}, {"t", "b", kNone, kNone}, {"T", "c", "g", kNone}},
         "[T]\r\nPATH=c\r\nFOLDER=g\r\n"},
        {"all keys removed: the header stays",
         {{"A", "a", kNone, kNone}, {"B", "b", kNone, kNone}, {"a", kNone, kNone, kNone}},
         "[A]\r\n[B]\r\nPATH=b\r\n"},
        {"missing fields alone never make a section", {{"X", kNone, kNone, kNone}}, ""},
        {"values keep their blanks at both ends, as Windows writes them",
         {{"S", " \tC:\\s.exe  ", "   ", kNone}},
         "[S]\r\nPATH= \tC:\\s.exe  \r\nFOLDER=   \r\n", false},  // Wine drops those that start it
        // "ア" is 83 41 and "ヂ" 83 61: trail bytes are never folded, nor full-width letters.
        {"double-byte names match exactly",
         {{"ア", "1", kNone, kNone}, {"ヂ", "2", kNone, kNone}, {"Ａ", "3", kNone, kNone}, {"ａ", "4", kNone, kNone}},
         "[ア]\r\nPATH=1\r\n[ヂ]\r\nPATH=2\r\n[Ａ]\r\nPATH=3\r\n[ａ]\r\nPATH=4\r\n"},
        {"trail bytes 5C, 5B, 5D and INI characters are plain text",
         {{"ソ表ー", "C:\\ソ\\", kNone, ";x=[y]"}, {"x]y", "=", kNone, kNone}},
         "[ソ表ー]\r\nPATH=C:\\ソ\\\r\nCOMMENT=;x=[y]\r\n[x]y]\r\nPATH==\r\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BuildCommandFile(c.rows), c.bytes) << c.rule;
        if (c.asWine || !test::UnderWine()) { EXPECT_EQ(KeyByKey(c.rows), c.bytes) << c.rule; }
    }
}

// Enough names of different lengths to share hash slots: each is its own section.
TEST(CommandFile, ManyNamesStayApartAndInOrder) {
    std::vector<std::string> names;
    std::vector<Row> rows;
    std::string expected;
    for (int i = 0; i < 3000; ++i) names.push_back("N" + std::to_string(i % 1000));
    for (int i = 0; i < 3000; ++i) rows.push_back({names[i].c_str(), i < 1000 ? "x" : "y", kNone, kNone});
    for (int i = 0; i < 1000; ++i) expected += "[N" + std::to_string(i) + "]\r\nPATH=y\r\n";
    EXPECT_EQ(BuildCommandFile(rows), expected);
}

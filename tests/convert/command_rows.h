// Command lists written as rows of texts, and the command file built from
// them in one pass. A null field is a field without storage.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/command_file.h"

namespace test {
struct Row {
    const char* name;
    const char* path;
    const char* folder;
    const char* comment;
};

inline std::string BuildCommandFile(const std::vector<Row>& rows) {
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
}  // namespace test

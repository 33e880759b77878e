// The one-pass command file against the real profile service: for generated
// command lists, WritePrivateProfileStringA called key by key must give the
// same file. Blanks that end a value are dropped by Wine's write cache; for
// lists with them, what GetPrivateProfileStringA reads back is compared.
// Names have no blanks at either end (path.txt gives none): Wine trims them
// when it writes a key but not when it removes one.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "convert/command_rows.h"
#include "test_support.h"

namespace {
const char* const kKeys[] = {"PATH", "FOLDER", "COMMENT"};

// One generated command; a field is stored unless null.
struct Command {
    std::string name, fields[3];
    bool null[3];
};

// Names from a small alphabet: ASCII case variants, duplicates, INI
// characters, and characters whose second byte is 0x5C, 0x5B or 0x5D.
std::vector<Command> Generate(unsigned seed, bool trailingBlanks) {
    static const char* const nameParts[] = {"a", "A", "b", "B", "ソ", "ー", "ゾ", "表", "ア", "ヂ", "=", ";", "[", "]", " "};
    static const char* const valueParts[] = {"C:\\", "x", "ソ", "表", "=", ";", "[", "]", " ", "ー", "\t"};
    std::mt19937 rng(seed);
    auto pick = [&rng](int n) { return static_cast<int>(rng() % n); };
    std::vector<Command> list(300);
    for (Command& c : list) {
        do {
            c.name.clear();
            for (int n = 1 + pick(3); n > 0; --n) c.name += nameParts[pick(15)];
        } while (c.name.front() == ' ' || c.name.back() == ' ' || c.name.front() == '[');
        for (int k = 0; k < 3; ++k) {
            c.null[k] = pick(5) == 0;
            for (int n = c.null[k] ? 0 : pick(4); n > 0; --n) c.fields[k] += valueParts[pick(11)];
            while (!trailingBlanks && !c.fields[k].empty() && (c.fields[k].back() == ' ' || c.fields[k].back() == '\t'))
                c.fields[k].pop_back();
        }
    }
    return list;
}

const char* Value(const Command& c, int k) { return c.null[k] ? nullptr : c.fields[k].c_str(); }

std::string OnePass(const std::vector<Command>& list) {
    std::vector<test::Row> rows;
    for (const Command& c : list) rows.push_back({c.name.c_str(), Value(c, 0), Value(c, 1), Value(c, 2)});
    return test::BuildCommandFile(rows);
}

void KeyByKey(const std::vector<Command>& list, const std::string& path) {
    for (const Command& c : list)
        for (int k = 0; k < 3; ++k) WritePrivateProfileStringA(c.name.c_str(), kKeys[k], Value(c, k), path.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
}

// Every section name and every key's value as the profile service reads them.
std::string ReadBack(const std::vector<Command>& list, const std::string& path) {
    std::vector<char> names(1 << 20);
    GetPrivateProfileSectionNamesA(names.data(), static_cast<DWORD>(names.size()), path.c_str());
    std::string out;
    for (const char* n = names.data(); *n; n += std::strlen(n) + 1) out += std::string("[") + n + "]\n";
    char value[4096];
    for (const Command& c : list)
        for (const char* key : kKeys) {
            GetPrivateProfileStringA(c.name.c_str(), key, "<absent>", value, sizeof value, path.c_str());
            out += c.name + "." + key + "=" + value + "\n";
        }
    return out;
}
}  // namespace

TEST(ProfileDifferential, OnePassFileMatchesTheProfileService) {
    test::TempDir dir;
    for (bool trailing : {false, true}) {
        for (unsigned seed = 1; seed <= 4; ++seed) {
            const std::vector<Command> list = Generate(seed, trailing);
            const std::string name = std::to_string(seed) + (trailing ? "t.txt" : ".txt");
            KeyByKey(list, dir / ("service" + name));
            const std::string own = OnePass(list);
            test::WriteBytes(dir / ("own" + name), own);
            if (trailing) {
                EXPECT_EQ(ReadBack(list, dir / ("own" + name)), ReadBack(list, dir / ("service" + name))) << name;
            } else {
                EXPECT_EQ(own, test::ReadBytes(dir / ("service" + name))) << name;
            }
        }
    }
}

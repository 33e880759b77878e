// The one-pass command file against the real profile service: for generated
// command lists, WritePrivateProfileStringA called key by key must give the
// same file. Blanks that end a value are dropped by Wine's write cache; for
// lists with them, what GetPrivateProfileStringA reads back is compared.
// Names have no blanks at either end (path.txt gives none): Wine trims them
// when it writes a key but not when it removes one.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "convert/command_file.h"
#include "platform/win_support.h"
#include "test_support.h"

namespace {
const char* const kKeys[] = {"PATH", "FOLDER", "COMMENT"};

struct Field {
    bool stored;
    std::string text;
};
struct Command {
    std::string name;
    Field fields[3];
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
        for (Field& f : c.fields) {
            f.stored = pick(5) != 0;
            for (int n = pick(4); f.stored && n > 0; --n) f.text += valueParts[pick(11)];
            while (!trailingBlanks && !f.text.empty() && (f.text.back() == ' ' || f.text.back() == '\t'))
                f.text.pop_back();
        }
    }
    return list;
}

std::string Describe(const std::vector<Command>& list) {
    std::string out;
    for (const Command& c : list) {
        out += "[" + c.name + "]";
        for (const Field& f : c.fields) out += f.stored ? " <" + f.text + ">" : " null";
        out += "\n";
    }
    return out;
}

std::string OnePass(const std::vector<Command>& list) {
    CommandList commands;
    for (const Command& c : list) {
        CommandEntry e;
        e.name.Assign(c.name.c_str());
        StrBuf* fields[] = {&e.path, &e.folder, &e.comment};
        for (int k = 0; k < 3; ++k)
            if (c.fields[k].stored) fields[k]->Assign(c.fields[k].text.c_str());
        commands.PushBack(e);
    }
    CommandFileText text;
    EXPECT_TRUE(text.Build(commands));
    return std::string(text.Data() ? text.Data() : "", text.Size());
}

void KeyByKey(const std::vector<Command>& list, const std::string& path) {
    for (const Command& c : list)
        for (int k = 0; k < 3; ++k)
            WritePrivateProfileStringA(c.name.c_str(), kKeys[k], c.fields[k].stored ? c.fields[k].text.c_str() : nullptr,
                                       path.c_str());
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
    wintest::Folder dir;
    for (bool trailing : {false, true}) {
        for (unsigned seed = 1; seed <= 4; ++seed) {
            std::vector<Command> list = Generate(seed, trailing);
            const std::string serviceFile = dir / ("service" + std::to_string(seed) + (trailing ? "t" : "") + ".txt");
            const std::string ownFile = dir / ("own" + std::to_string(seed) + (trailing ? "t" : "") + ".txt");
            KeyByKey(list, serviceFile);
            std::string own = OnePass(list);
            wintest::MakeFile(ownFile, own);
            if (!trailing) {
                EXPECT_EQ(own, test::ReadBytes(serviceFile)) << "seed " << seed << ", input:\n" << Describe(list);
            } else {
                EXPECT_EQ(ReadBack(list, ownFile), ReadBack(list, serviceFile))
                    << "seed " << seed << " with trailing blanks, input:\n" << Describe(list);
            }
        }
    }
}

// The chosen rule for blanks around values: the file keeps those that end a
// value (a leading run is dropped, as the service drops it), and
// GetPrivateProfileStringA reads the value back without either.
TEST(ProfileDifferential, BlanksAroundValuesAsWrittenAndAsReadBack) {
    wintest::Folder dir;
    const std::string own = OnePass({{"S", {{true, " \tC:\\s.exe  "}, {false, ""}, {false, ""}}}});
    EXPECT_EQ(own, "[S]\r\nPATH=C:\\s.exe  \r\n");
    wintest::MakeFile(dir / "own.txt", own);
    char value[64] = {};
    GetPrivateProfileStringA("S", "PATH", "", value, sizeof value, (dir / "own.txt").c_str());
    EXPECT_STREQ(value, "C:\\s.exe");
}

// Drives StrBuf operations with arbitrary texts and positions and checks
// each result against a plain std::string model of the same definitions.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/ansi_text.h"
#include "text/strbuf.h"

namespace {
void Check(bool condition) {
    if (!condition) std::abort();
}

bool Blank(unsigned char c) { return c == ' ' || (c >= 0x09 && c <= 0x0D); }

// Start positions of the characters of s (a lead byte whose partner would
// be the end stands alone).
std::vector<size_t> CharStarts(const std::string& s) {
    std::vector<size_t> starts;
    for (size_t i = 0; i < s.size();) {
        starts.push_back(i);
        i += (IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ? 2 : 1;
    }
    return starts;
}

int ModelFind(const std::string& s, const std::string& t, int from) {
    size_t i = static_cast<size_t>(from);
    if (i > s.size()) return -1;
    // Candidates step by characters from `from` itself.
    std::string tail = s.substr(i);
    for (size_t start : CharStarts(tail)) {
        if (tail.compare(start, t.size(), t) == 0 && start + t.size() <= tail.size()) return static_cast<int>(i + start);
    }
    if (t.empty()) return from;
    return -1;
}

std::string ModelTrim(const std::string& s) {
    size_t b = 0;
    while (b < s.size() && Blank(s[b])) ++b;
    std::string rest = s.substr(b);
    size_t keep = 0;
    for (size_t start : CharStarts(rest)) {
        size_t size = (IsLeadByte(static_cast<unsigned char>(rest[start])) && start + 1 < rest.size()) ? 2 : 1;
        if (size == 2 || !Blank(rest[start])) keep = start + size;
    }
    return rest.substr(0, keep);
}

std::vector<std::string> ModelTokens(const std::string& s) {
    std::vector<std::string> tokens;
    std::string current;
    bool in = false;
    for (size_t start : CharStarts(s)) {
        size_t size = (IsLeadByte(static_cast<unsigned char>(s[start])) && start + 1 < s.size()) ? 2 : 1;
        bool delimiter = size == 1 && (s[start] == ' ' || s[start] == '\t');
        if (delimiter) {
            if (in) tokens.push_back(current);
            current.clear();
            in = false;
        } else {
            current.append(s, start, size);
            in = true;
        }
    }
    // A lone lead byte alone at the end is no token.
    if (in && !(current.size() == 1 && IsLeadByte(static_cast<unsigned char>(current[0])) &&
                s.size() >= 1 && CharStarts(s).back() == s.size() - 1))
        tokens.push_back(current);
    return tokens;
}

struct Reader {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    bool More() const { return at < size; }
    uint8_t Byte() { return More() ? data[at++] : 0; }
    int Number() { return static_cast<int>(Byte() | (Byte() << 8)) - 256; }
    std::string Text() {
        size_t n = Byte() % 48;
        std::string t;
        while (n-- && More()) {
            char c = static_cast<char>(Byte());
            if (c) t += c;
        }
        return t;
    }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Reader in{data, size};
    StrBuf buf;
    std::string model;
    while (in.More()) {
        switch (in.Byte() % 10) {
            case 0: {
                std::string t = in.Text();
                Check(buf.Assign(t.c_str()));
                model = t;
                break;
            }
            case 1: {
                std::string t = in.Text();
                Check(buf.Append(t.c_str()));
                model += t;
                break;
            }
            case 2: {
                char c = static_cast<char>(in.Byte());
                Check(buf.AppendChar(c));
                if (c) model += c;
                break;
            }
            case 3: {
                int pos = in.Number(), count = in.Number();
                Check(buf.Erase(pos, count) == static_cast<int>(model.size()));
                if (pos >= 0 && count >= 0 && static_cast<size_t>(pos) < model.size()) model.erase(pos, count);
                break;
            }
            case 4: {
                int pos = in.Number();
                buf.TruncateAfter(pos);
                if (pos < 0) model.clear();
                else if (static_cast<size_t>(pos) + 1 < model.size()) model.resize(pos + 1);
                break;
            }
            case 5: {
                std::string t = in.Text();
                int from = in.Number();
                int got = buf.Find(t.c_str(), from);
                bool fits = from >= 0 && static_cast<long long>(from) + static_cast<long long>(t.size()) <=
                                             buf.Capacity();
                int want = (!buf.HasStorage() || !fits) ? -1 : ModelFind(model, t, from);
                Check(got == want);
                break;
            }
            case 6:
                buf.Trim();
                model = ModelTrim(model);
                break;
            case 7: {
                StrBuf token;
                std::vector<std::string> want = ModelTokens(model);
                Check(buf.NextToken(token, "\t ", true));
                for (const std::string& w : want) {
                    Check(token.HasStorage() && w == token.Text());
                    Check(buf.NextToken(token, "\t ", false));
                }
                Check(!token.HasStorage());
                break;
            }
            case 8: {
                int n = in.Byte() * 4;
                Check(buf.Reserve(n));
                Check(buf.Capacity() > n && buf.Capacity() >= 16);
                model.clear();
                break;
            }
            case 9:
                buf.Wipe();
                model.clear();
                break;
        }
        Check(model == buf.Text());
        Check(buf.Length() == static_cast<int>(model.size()));
        // Capacity: 0, or a power of two of at least 16 that holds the text.
        int cap = buf.Capacity();
        Check(cap == 0 || (cap >= 16 && (cap & (cap - 1)) == 0 && cap > buf.Length()));
    }
    return 0;
}

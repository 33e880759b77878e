// Native INI writer with the behaviour the converter relies on from
// WritePrivateProfileStringA: the file and a missing section are created,
// an existing key is replaced in place, a new key goes to the end of its
// section, a null value removes the key, and every other byte is kept.
// New lines end in CRLF. Section and key names match without regard to
// ASCII case or surrounding blanks, as on Windows.
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/files.h"

namespace {
struct Line {
    std::string text;    // without its line end
    std::string ending;  // "\r\n", "\n" or "" for a last line without one
};

std::string Trimmed(const std::string& s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return "";
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

bool SameName(const std::string& a, const char* b) {
    std::string t = Trimmed(a);
    std::string u = Trimmed(b);
    if (t.size() != u.size()) return false;
    for (size_t i = 0; i < t.size(); ++i) {
        unsigned char x = t[i], y = u[i];
        if (x >= 'A' && x <= 'Z') x += 32;
        if (y >= 'A' && y <= 'Z') y += 32;
        if (x != y) return false;
    }
    return true;
}

// True when the line is a section header "[name]"; name receives the name.
bool HeaderName(const std::string& text, std::string& name) {
    std::string t = Trimmed(text);
    if (t.empty() || t[0] != '[') return false;
    size_t close = t.find(']');
    name = t.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    return true;
}

bool KeyIs(const std::string& text, const char* key) {
    if (Trimmed(text).compare(0, 1, ";") == 0) return false;  // a comment
    size_t eq = text.find('=');
    return eq != std::string::npos && SameName(text.substr(0, eq), key);
}

bool Load(const char* path, std::vector<Line>& lines) {
    std::FILE* f = std::fopen(path, "rb");
    if (!f) return errno == ENOENT;
    std::string all;
    char block[4096];
    for (size_t got; (got = std::fread(block, 1, sizeof block, f)) > 0;) all.append(block, got);
    bool ok = !std::ferror(f);
    std::fclose(f);
    size_t start = 0;
    while (start < all.size()) {
        size_t lf = all.find('\n', start);
        Line line;
        if (lf == std::string::npos) {
            line.text = all.substr(start);
            start = all.size();
        } else {
            size_t end = (lf > start && all[lf - 1] == '\r') ? lf - 1 : lf;
            line.text = all.substr(start, end - start);
            line.ending = all.substr(end, lf + 1 - end);
            start = lf + 1;
        }
        lines.push_back(line);
    }
    return ok;
}

bool Save(const char* path, const std::vector<Line>& lines) {
    std::FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    bool ok = true;
    for (const Line& l : lines) {
        ok = ok && std::fwrite(l.text.data(), 1, l.text.size(), f) == l.text.size();
        ok = ok && std::fwrite(l.ending.data(), 1, l.ending.size(), f) == l.ending.size();
    }
    return std::fclose(f) == 0 && ok;
}
}  // namespace

bool WriteProfileText(const char* section, const char* key, const char* value, const char* path) {
    if (!section || !key || !path) return false;
    std::vector<Line> lines;
    if (!Load(path, lines)) return false;

    // Locate the section: the line after its header, and the end of its
    // last non-blank line, where a new key goes.
    bool found = false;
    size_t header = 0, end = 0;
    std::string name;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (HeaderName(lines[i].text, name)) {
            if (found) break;
            if (SameName(name, section)) {
                found = true;
                header = end = i + 1;
            }
        } else if (found && !Trimmed(lines[i].text).empty()) {
            end = i + 1;
        }
    }
    Line entry{std::string(key) + "=" + (value ? value : ""), "\r\n"};
    if (!found) {
        if (!value) return true;  // nothing to remove
        if (!lines.empty() && lines.back().ending.empty()) lines.back().ending = "\r\n";
        if (!lines.empty()) lines.push_back({"", "\r\n"});
        lines.push_back({"[" + std::string(section) + "]", "\r\n"});
        lines.push_back(entry);
        return Save(path, lines);
    }
    for (size_t i = header; i < end; ++i) {
        if (!KeyIs(lines[i].text, key)) continue;
        if (value) {
            lines[i].text = entry.text;
        } else {
            lines.erase(lines.begin() + static_cast<long>(i));
        }
        return Save(path, lines);
    }
    if (!value) return true;
    if (end > 0 && lines[end - 1].ending.empty()) lines[end - 1].ending = "\r\n";
    lines.insert(lines.begin() + static_cast<long>(end), entry);
    return Save(path, lines);
}

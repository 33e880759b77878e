// Native INI writer with the behaviour of WritePrivateProfileStringA that
// the converter relies on: the file and a missing section are created (a
// new section follows the last line, with no blank line), an existing key
// is replaced in place, a new key goes after the last line of its section,
// a null value removes the key, and every other byte is kept. New lines end
// in CRLF. Section and key names match ignoring blanks at either end and
// the case of single-byte ASCII letters; a value is written as it is, as
// Windows writes it. The edit works on the file's bytes in memory, so the
// fuzzer can hold it against the one-pass command file writer.
#include "platform/posix/profile_edit.h"

#include <cerrno>
#include <vector>

#include "platform/ansi_text.h"
#include "platform/files.h"

namespace {
struct Line {
    std::string text;    // without its line end
    std::string ending;  // "\r\n", "\n" or "" for a last line without one
};

bool IsBlank(unsigned char c) { return c == ' ' || (c >= 0x09 && c <= 0x0D) || c == 0x1A; }

std::string Trimmed(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

unsigned char Fold(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }

// Double-byte characters match exactly; a trail byte is never folded.
bool SameName(const std::string& a, const std::string& b) {
    std::string t = Trimmed(a), u = Trimmed(b);
    if (t.size() != u.size()) return false;
    for (size_t i = 0; i < t.size(); ++i) {
        if (IsLeadByte(t[i]) && i + 1 < t.size()) {
            if (t.compare(i, 2, u, i, 2) != 0) return false;
            ++i;
        } else if (Fold(t[i]) != Fold(u[i])) {
            return false;
        }
    }
    return true;
}

// True when the line is a section header "[name]"; the name runs to the last "]".
bool HeaderName(const std::string& text, std::string& name) {
    std::string t = Trimmed(text);
    size_t close = t.rfind(']');
    if (t.empty() || t[0] != '[' || close == std::string::npos) return false;
    name = t.substr(1, close - 1);
    return true;
}

bool KeyIs(const std::string& text, const char* key) {
    if (Trimmed(text).compare(0, 1, ";") == 0) return false;  // a comment
    size_t eq = text.find('=');
    return eq != std::string::npos && SameName(text.substr(0, eq), key);
}

std::vector<Line> Split(const std::string& all) {
    std::vector<Line> lines;
    for (size_t start = 0; start < all.size();) {
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
    return lines;
}

std::string Join(const std::vector<Line>& lines) {
    std::string all;
    for (const Line& l : lines) all += l.text + l.ending;
    return all;
}

void EndLine(std::vector<Line>& lines, size_t at) {
    if (at > 0 && lines[at - 1].ending.empty()) lines[at - 1].ending = "\r\n";
}

// Through the native file layer, so that its seams see the writer too.
bool Load(const char* path, std::string& all) {
    FileObj f;
    if (!f.Open(path, false, false)) return errno == ENOENT;
    char block[4096];
    int got;
    while ((got = f.Read(block, sizeof block)) > 0) all.append(block, static_cast<size_t>(got));
    return got == 0;
}

bool Save(const char* path, const std::string& all) {
    FileObj f;
    return f.Open(path, true, true) && f.Write(all.data(), static_cast<int>(all.size()));
}
}  // namespace

bool EditProfileText(std::string& file, const char* section, const char* key, const char* value) {
    std::vector<Line> lines = Split(file);
    // The section: the line after its header, and the end of its last
    // non-blank line, where a new key goes.
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
    if (!found && !value) return false;  // nothing to remove
    Line entry{Trimmed(key) + "=" + (value ? value : ""), "\r\n"};
    if (!found) {
        EndLine(lines, lines.size());
        lines.push_back({"[" + Trimmed(section) + "]", "\r\n"});
        lines.push_back(entry);
    } else {
        size_t at = header;
        while (at < end && !KeyIs(lines[at].text, key)) ++at;
        if (at < end && value) {
            lines[at].text = entry.text;
        } else if (at < end) {
            lines.erase(lines.begin() + static_cast<long>(at));
        } else if (value) {
            EndLine(lines, end);
            lines.insert(lines.begin() + static_cast<long>(end), entry);
        } else {
            return false;
        }
    }
    file = Join(lines);
    return true;
}

bool WriteProfileText(const char* section, const char* key, const char* value, const char* path) {
    if (!section || !key || !path) return false;
    std::string file;
    if (!Load(path, file)) return false;
    return !EditProfileText(file, section, key, value) || Save(path, file);
}

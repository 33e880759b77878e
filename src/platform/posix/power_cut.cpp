#include "platform/posix/power_cut.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <string>
#include <vector>

namespace {
enum class Kind { Create, Truncate, Write, Flush, Rename, Remove, ReadOnly };

struct Entry {
    Kind kind;
    int id;
    std::string name, to;  // the names of a creation, a rename or a deletion
    long offset;
    std::string bytes;     // what a write wrote
    bool readOnly;
};

// Each file's content as the run began and the changes since, per file
// (identified through renames) and in the order made.
struct Journal {
    std::string folder;
    long calls = 0, limit = -1;
    bool out = false;
    std::map<std::string, int> start, live;  // name: file
    std::vector<std::string> content;        // as the run began
    std::vector<bool> readOnly;
    std::vector<Entry> entries;
};

Journal* g_journal = nullptr;
bool g_failListings = false;

bool ReadWhole(const std::string& path, std::string& bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char block[4096];
    ssize_t got;
    while ((got = ::read(fd, block, sizeof block)) > 0) bytes.append(block, static_cast<size_t>(got));
    ::close(fd);
    return got == 0;
}

bool WriteWhole(const std::string& path, const std::string& bytes, bool readOnly) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool written = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    ::close(fd);
    return written && (!readOnly || ::chmod(path.c_str(), 0444) == 0);
}

// The names of the regular files in folder.
std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return names;
    while (const dirent* e = ::readdir(dir)) {
        struct stat st;
        if (::stat((folder + e->d_name).c_str(), &st) == 0 && S_ISREG(st.st_mode)) names.push_back(e->d_name);
    }
    ::closedir(dir);
    return names;
}

// The name of path inside the journalled folder; false for a path elsewhere.
bool NameOf(const char* path, std::string& name) {
    if (!g_journal || g_journal->out || !path) return false;
    const std::string& folder = g_journal->folder;
    const std::string p = path;
    if (p.compare(0, folder.size(), folder) != 0 || p.find('/', folder.size()) != std::string::npos) return false;
    name = p.substr(folder.size());
    return true;
}

int NewFile(const std::string& name) {
    Journal& j = *g_journal;
    j.content.emplace_back();
    j.readOnly.push_back(false);
    return j.live[name] = static_cast<int>(j.content.size()) - 1;
}

void Add(Kind kind, int id, const std::string& name = "", const std::string& to = "") {
    g_journal->entries.push_back({kind, id, name, to, 0, "", false});
}

int LiveId(const std::string& name) {
    const auto it = g_journal->live.find(name);
    return it == g_journal->live.end() ? -1 : it->second;
}

void Put(std::string& content, long offset, const std::string& bytes) {
    const size_t at = static_cast<size_t>(offset);
    if (content.size() < at + bytes.size()) content.resize(at + bytes.size(), '\0');
    content.replace(at, bytes.size(), bytes);
}

// A file's data since its last flush, replayed from the journal.
struct Replayed {
    std::string now, flushed;
    std::vector<const Entry*> pending;  // writes since the last flush
    bool dirty = false;
    bool emptied = false;  // truncated since the last flush, and the truncation survives
    bool readOnly = false;
};

enum Data { kKept, kLost, kTorn, kGarbage };

std::string Survivor(const Replayed& f, int id, int data) {
    if (!f.dirty || data == kKept) return f.now;
    std::string bytes = f.emptied ? std::string() : f.flushed;
    if (data == kTorn) {
        for (const Entry* w : f.pending) Put(bytes, w->offset, w->bytes.substr(0, w->bytes.size() / 2));
    } else if (data == kGarbage) {
        bytes.assign(f.now.size(), '\0');
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(0x80 | ((id * 31 + i * 7 + 1) & 0x7F));
    }
    return bytes;
}
}  // namespace

namespace power_cut {
void Arm(const char* folder, long calls) {
    Disarm();
    g_journal = new Journal;
    Journal& j = *g_journal;
    j.folder = folder;
    j.limit = calls;
    for (const std::string& name : FilesIn(j.folder)) {
        struct stat st;
        const int id = NewFile(name);
        ReadWhole(j.folder + name, j.content[id]);
        j.readOnly[id] = ::stat((j.folder + name).c_str(), &st) == 0 && !(st.st_mode & S_IWUSR);
    }
    j.start = j.live;
}

void Disarm() {
    delete g_journal;
    g_journal = nullptr;
}

bool Armed() { return g_journal != nullptr; }
long Calls() { return g_journal ? g_journal->calls : 0; }
bool WentOut() { return g_journal && g_journal->out; }

void LayDown(unsigned scenario) {
    if (!g_journal) return;
    Journal& j = *g_journal;
    long lastFlush = -1;
    for (size_t i = 0; i < j.entries.size(); ++i)
        if (j.entries[i].kind == Kind::Flush) lastFlush = static_cast<long>(i);
    const bool allChanges = scenario == 0 || scenario % 2 == 1;
    const long kept = allChanges ? static_cast<long>(j.entries.size()) : lastFlush + 1;

    std::vector<Replayed> files(j.content.size());
    for (size_t id = 0; id < files.size(); ++id) {
        files[id].now = files[id].flushed = j.content[id];
        files[id].readOnly = j.readOnly[id];
    }
    std::map<std::string, int> names = j.start;
    for (long i = 0; i < static_cast<long>(j.entries.size()); ++i) {
        const Entry& e = j.entries[i];
        const bool survives = i < kept;
        Replayed& f = files[e.id >= 0 ? e.id : 0];
        switch (e.kind) {
        case Kind::Write:
            Put(f.now, e.offset, e.bytes);
            f.pending.push_back(&e);
            f.dirty = true;
            break;
        case Kind::Truncate:
            f.now.clear();
            f.pending.clear();
            f.dirty = true;
            f.emptied = f.emptied || survives;
            break;
        case Kind::Flush:
            f.flushed = f.now;
            f.pending.clear();
            f.dirty = f.emptied = false;
            break;
        case Kind::Create:
            if (survives) names[e.name] = e.id;
            break;
        case Kind::Rename:
            if (survives && names.count(e.name)) {
                names[e.to] = names[e.name];
                names.erase(e.name);
            }
            break;
        case Kind::Remove:
            if (survives) names.erase(e.name);
            break;
        case Kind::ReadOnly:
            if (survives) f.readOnly = e.readOnly;
            break;
        }
    }

    const std::string folder = j.folder;
    std::map<std::string, std::pair<std::string, bool>> disk;
    int damaged = 0;
    for (const auto& n : names) {
        const Replayed& f = files[n.second];
        const int data = scenario == 0 || !f.dirty ? kKept : static_cast<int>((scenario + damaged++) % 4);
        disk[n.first] = {Survivor(f, n.second, data), f.readOnly};
    }
    Disarm();
    for (const std::string& name : FilesIn(folder)) {
        ::chmod((folder + name).c_str(), 0644);
        ::unlink((folder + name).c_str());
    }
    for (const auto& d : disk) WriteWhole(folder + d.first, d.second.first, d.second.second);
}

void FailListings(bool fail) { g_failListings = fail; }
bool ListingFails() { return g_failListings; }

bool Allow() {
    if (!g_journal) return true;
    Journal& j = *g_journal;
    ++j.calls;
    if (j.limit >= 0 && j.calls > j.limit) j.out = true;
    if (j.out) errno = EIO;
    return !j.out;
}

void Created(const char* path) {
    std::string name;
    if (!NameOf(path, name)) return;
    const int id = NewFile(name);
    Add(Kind::Create, id, name);
}

void Truncated(const char* path) {
    std::string name;
    if (!NameOf(path, name)) return;
    const int id = LiveId(name);
    if (id < 0) return Created(path);
    Add(Kind::Truncate, id);
}

void Wrote(const char* path, long offset, const void* data, std::size_t size) {
    std::string name;
    if (!NameOf(path, name) || LiveId(name) < 0) return;
    Add(Kind::Write, LiveId(name));
    g_journal->entries.back().offset = offset;
    g_journal->entries.back().bytes.assign(static_cast<const char*>(data), size);
}

void Flushed(const char* path) {
    std::string name;
    if (NameOf(path, name) && LiveId(name) >= 0) Add(Kind::Flush, LiveId(name));
}

void Renamed(const char* from, const char* to) {
    std::string a, b;
    if (!NameOf(from, a) || !NameOf(to, b) || LiveId(a) < 0) return;
    Journal& j = *g_journal;
    Add(Kind::Rename, j.live[a], a, b);
    j.live[b] = j.live[a];
    j.live.erase(a);
}

void Removed(const char* path) {
    std::string name;
    if (!NameOf(path, name) || LiveId(name) < 0) return;
    Add(Kind::Remove, LiveId(name), name);
    g_journal->live.erase(name);
}

void ReadOnlySet(const char* path, bool readOnly) {
    std::string name;
    if (!NameOf(path, name) || LiveId(name) < 0) return;
    Add(Kind::ReadOnly, LiveId(name));
    g_journal->entries.back().readOnly = readOnly;
}
}  // namespace power_cut

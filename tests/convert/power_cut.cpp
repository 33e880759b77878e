#include "convert/power_cut.h"

#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <vector>

#include "platform/posix/file_watch.h"
#include "test_support.h"

namespace power_cut {
namespace {
struct Node { std::string flushed, now; };  // the bytes the disk is sure of, and those written
struct Name { int node; bool readOnly; };
using Names = std::map<std::string, Name>;

struct Journal {
    std::string folder;
    long calls = 0, limit = -1;
    std::vector<Node> nodes;
    std::vector<Names> states;  // the folder's names after each change, the first as armed
    size_t durable = 0;         // the last state a flush made sure of
} g;

bool ReadOnly(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && !(st.st_mode & S_IWUSR);
}

bool Allow() { return ++g.calls <= g.limit || g.limit < 0; }

void Changed(FileChange change, const char* path, const char* to) {
    const std::string p = path;
    if (p.compare(0, g.folder.size(), g.folder) != 0) return;
    const std::string name = p.substr(g.folder.size());
    Names names = g.states.back();
    if (change != FileChange::Created && !names.count(name)) return;
    if (change == FileChange::Created) {
        g.nodes.push_back({});
        names[name] = {static_cast<int>(g.nodes.size() - 1), false};
    } else if (change == FileChange::Renamed) {
        names[std::string(to).substr(g.folder.size())] = names.at(name);
        names.erase(name);
    } else if (change == FileChange::Removed) {
        names.erase(name);
    } else if (change == FileChange::Attributes) {
        names.at(name).readOnly = ReadOnly(p);
    } else {  // written or flushed: data, not names
        Node& node = g.nodes.at(names.at(name).node);
        node.now = test::ReadBytes(p);
        if (change == FileChange::Flushed) {
            node.flushed = node.now;
            g.durable = g.states.size() - 1;
        }
        return;
    }
    g.states.push_back(names);
}

const FileWatch kWatch = {Allow, Changed};
}  // namespace

void Arm(const std::string& folder, long calls) {
    g = Journal();
    g.folder = folder;
    g.limit = calls;
    Names names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string path = entry.path().string(), bytes = test::ReadBytes(path);
        g.nodes.push_back({bytes, bytes});
        names[entry.path().filename().string()] = {static_cast<int>(g.nodes.size() - 1), ReadOnly(path)};
    }
    g.states = {names};
    WatchFiles(&kWatch);
}

long Calls() { return g.calls; }

void LayDown(unsigned scenario) {
    WatchFiles(nullptr);
    if (scenario == 0) return;
    const size_t last = g.states.size() - 1;
    const size_t kept = scenario % 2 ? last : g.durable + (last - g.durable) * (scenario / 2 - 1) / 2;
    for (const auto& entry : std::filesystem::directory_iterator(g.folder)) {
        ::chmod(entry.path().c_str(), 0644);
        std::filesystem::remove(entry.path());
    }
    unsigned unflushed = 0;
    for (const auto& n : g.states[kept]) {
        const Node& node = g.nodes[n.second.node];
        std::string bytes = node.now;
        if (node.now != node.flushed) {
            const size_t half = node.now.size() / 2;
            switch ((scenario + unflushed++) % 4) {
            case 1: bytes = node.flushed; break;
            case 2: bytes = node.now.substr(0, half) + node.flushed.substr(std::min(half, node.flushed.size())); break;
            case 3: bytes = "\x01garbage " + std::to_string(n.second.node); break;
            }
        }
        const std::string path = g.folder + n.first;
        test::WriteBytes(path, bytes);
        if (n.second.readOnly) ::chmod(path.c_str(), 0444);
    }
}
}  // namespace power_cut

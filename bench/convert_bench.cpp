// Conversion speed, side by side on the same generated legacy files: the
// whole conversion with the one-pass command file, and the old way of
// writing the command file key by key through the profile writer. Prints
// the best time of several runs, the growth to the size before and the
// ratio of the two. A series stops when the growth seen so far says one
// run would take longer than the limit (seconds, argument 1); argument 2
// is the largest size (default 100,000 commands).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "convert/convert_job.h"
#include "platform/files.h"

namespace fs = std::filesystem;

namespace {
std::string LegacyFile(int commands) {
    std::string text = "#HotKey 6 86\r\n#HistoryMaxNum 20\r\n#Window 480 320\r\n";
    for (int i = 0; i < commands; ++i) {
        std::string n = std::to_string(i);
        text += "Command" + n + " C:\\Program Files\\Tool" + n + "\\tool.exe [CD:C:\\Work\\" + n +
                "] [Comment:tool number " + n + "]\r\n";
    }
    return text;
}

// One conversion into an empty folder; seconds taken. The job keeps the
// commands read, for the key-by-key run.
double ConvertOnce(ConvertJob& job, const fs::path& work, const std::string& source) {
    fs::path out = work / "out";
    fs::remove_all(out);
    fs::create_directories(out);
    std::string folder = out.string() + static_cast<char>(fs::path::preferred_separator);
    job.installFolder.Assign(folder.c_str());
    job.sourcePath.Assign(source.c_str());
    auto start = std::chrono::steady_clock::now();
    ConvertResult result = job.RunConversion();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (result != ConvertResult::Converted) {
        std::fprintf(stderr, "conversion failed\n");
        std::exit(1);
    }
    return seconds;
}

// The command file written the old way: three profile writes per command,
// each of which reads and rewrites the growing file.
double KeyByKeyOnce(const ConvertJob& job, const fs::path& work) {
    const std::string path = (work / "keybykey.txt").string();
    fs::remove(path);
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < job.commands.Count(); ++i) {
        const CommandEntry& e = job.commands[i];
        const StrBuf* fields[] = {&e.path, &e.folder, &e.comment};
        const char* keys[] = {"PATH", "FOLDER", "COMMENT"};
        for (int k = 0; k < 3; ++k)
            WriteProfileText(e.name.Text(), keys[k], fields[k]->HasStorage() ? fields[k]->Text() : nullptr,
                             path.c_str());
    }
    ForgetProfile(path.c_str());
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

template <typename Run>
double Best(Run run) {
    double best = run();
    for (int r = 1, runs = best < 2.0 ? 5 : (best < 20.0 ? 2 : 1); r < runs; ++r) {
        double t = run();
        if (t < best) best = t;
    }
    return best;
}

// Keeps the previous time of one series, and says whether the next size is
// worth running: not when the growth seen so far (with half as much again
// for margin) puts one run over the limit.
struct Series {
    double previous = 0, growth = 0;
    bool Affordable(double limit) const { return !(previous > 0 && growth > 0 && previous * growth * 1.5 > limit); }
    void Print(double best) {
        growth = previous > 0 ? best / previous : 0;
        if (growth > 0) {
            std::printf(" %12.2f %6.1fx", best * 1000, growth);
        } else {
            std::printf(" %12.2f %7s", best * 1000, "-");
        }
        previous = best;
    }
};
}  // namespace

int main(int argc, char** argv) {
    const double limit = argc > 1 ? std::atof(argv[1]) : 60.0;
    const int largest = argc > 2 ? std::atoi(argv[2]) : 100000;
    // A folder of this run's own, so that runs side by side never meet.
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path work = fs::temp_directory_path() / ("vaxu-bench-" + std::to_string(stamp));
    fs::create_directories(work);
    std::printf("%8s %12s %7s %12s %7s %9s\n", "commands", "one pass ms", "growth", "key by key", "growth",
                "old/new");
    Series onePass, keyByKey;
    ConvertJob job;
    job.Init();
    for (int n = 10; n <= largest; n *= 10) {
        std::string source = (work / "path.txt").string();
        std::ofstream(source, std::ios::binary) << LegacyFile(n);
        std::printf("%8d", n);
        if (!onePass.Affordable(limit)) break;
        onePass.Print(Best([&] { return ConvertOnce(job, work, source); }));
        if (keyByKey.Affordable(limit)) {
            keyByKey.Print(Best([&] { return KeyByKeyOnce(job, work); }));
            std::printf(" %8.1fx\n", keyByKey.previous / onePass.previous);
        } else {
            std::printf(" %12s %7s %9s\n", "not run", "-", "-");
        }
        std::fflush(stdout);
    }
    std::printf("\n");
    job.Teardown();
    fs::remove_all(work);
    return 0;
}

// Conversion speed: generated legacy files of growing size, converted
// into a fresh folder; prints the best time of several runs and the ratio
// to the size before. A size is skipped when the growth seen so far (with
// half as much again for margin, since it may still rise) says one
// conversion would take longer than the limit (seconds, argument 1).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "convert/convert_job.h"

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

// One conversion into an empty folder; seconds taken.
double ConvertOnce(const fs::path& work, const std::string& source) {
    fs::path out = work / "out";
    fs::remove_all(out);
    fs::create_directories(out);
    ConvertJob job;
    job.Init();
    std::string folder = out.string() + static_cast<char>(fs::path::preferred_separator);
    job.installFolder.Assign(folder.c_str());
    job.sourcePath.Assign(source.c_str());
    auto start = std::chrono::steady_clock::now();
    ConvertResult result = job.RunConversion();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    job.Teardown();
    if (result != ConvertResult::Converted) {
        std::fprintf(stderr, "conversion failed\n");
        std::exit(1);
    }
    return seconds;
}
}  // namespace

int main(int argc, char** argv) {
    const double limit = argc > 1 ? std::atof(argv[1]) : 60.0;
    const int sizes[] = {10, 100, 1000, 10000, 100000};
    fs::path work = fs::temp_directory_path() / "vaxu-bench";
    fs::create_directories(work);
    std::printf("%10s %14s %10s\n", "commands", "best (ms)", "ratio");
    double previous = 0, growth = 0;
    for (int n : sizes) {
        const double expected = previous * growth * 1.5;
        if (previous > 0 && growth > 0 && expected > limit) {
            std::printf("%10d %14s   stopped: about %.0f s expected at the growth seen (limit %.0f s)\n", n, "-",
                        expected, limit);
            break;
        }
        std::string source = (work / "path.txt").string();
        std::ofstream(source, std::ios::binary) << LegacyFile(n);
        double best = ConvertOnce(work, source);
        int runs = best < 2.0 ? 5 : (best < 20.0 ? 2 : 1);
        for (int r = 1; r < runs; ++r) {
            double t = ConvertOnce(work, source);
            if (t < best) best = t;
        }
        if (previous > 0) {
            growth = best / previous;
            std::printf("%10d %14.2f %10.1f\n", n, best * 1000, growth);
        } else {
            std::printf("%10d %14.2f %10s\n", n, best * 1000, "-");
        }
        std::fflush(stdout);
        previous = best;
    }
    fs::remove_all(work);
    return 0;
}

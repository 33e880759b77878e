// Checks that a text file stays within a number of lines and, where asked,
// of columns as Notepad shows them in Japanese: a character takes as many
// columns as it takes bytes in Shift-JIS, two but for ASCII and half-width
// katakana. Run as: vaxu_doc_limits <file> <most lines> <most columns, 0 for any>.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {
// Columns of one UTF-8 line; a byte-order mark takes none.
int Columns(const std::string& line) {
    int columns = 0;
    for (std::size_t i = 0; i < line.size();) {
        const unsigned char lead = line[i];
        const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        const std::string c = line.substr(i, length);
        i += length;
        if (c == "\xEF\xBB\xBF") continue;
        const bool halfWidthKana = c >= "\xEF\xBD\xA1" && c <= "\xEF\xBE\x9F";
        columns += length == 1 || halfWidthKana ? 1 : 2;
    }
    return columns;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <file> <most lines> <most columns, 0 for any>\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s: cannot be read\n", argv[1]);
        return 1;
    }
    const int mostLines = std::atoi(argv[2]), mostColumns = std::atoi(argv[3]);
    int lines = 0, faults = 0;
    for (std::string line; std::getline(in, line);) {
        ++lines;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const int columns = Columns(line);
        if (mostColumns > 0 && columns > mostColumns) {
            std::fprintf(stderr, "%s:%d: %d columns, more than %d\n", argv[1], lines, columns, mostColumns);
            ++faults;
        }
    }
    if (lines > mostLines) {
        std::fprintf(stderr, "%s: %d lines, more than %d\n", argv[1], lines, mostLines);
        ++faults;
    }
    std::printf("%s: %d lines\n", argv[1], lines);
    return faults ? 1 : 0;
}

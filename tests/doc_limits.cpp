// Whether a document fits its limits: at most <lines> lines and, unless 0,
// <columns> columns, a character counting as wide as its Shift-JIS bytes
// (as Notepad shows a Japanese text): ASCII and half-width katakana one
// column, any other character two. Usage: doc_limits FILE LINES COLUMNS.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    std::ifstream in(argc == 4 ? argv[1] : "", std::ios::binary);
    if (!in) return std::fprintf(stderr, "usage: doc_limits FILE LINES COLUMNS (a readable file)\n"), 2;
    const int mostLines = std::atoi(argv[2]), mostColumns = std::atoi(argv[3]);
    int lines = 0, faults = 0;
    for (std::string line; std::getline(in, line);) {
        int columns = 0;
        for (std::size_t i = 0; i < line.size() && line[i] != '\r';) {
            const unsigned char lead = line[i];
            const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            const std::string c = line.substr(i, length);
            i += length;
            if (c != "\xEF\xBB\xBF") columns += length == 1 || (c >= "\xEF\xBD\xA1" && c <= "\xEF\xBE\x9F") ? 1 : 2;
        }
        if (mostColumns > 0 && columns > mostColumns && ++faults)
            std::fprintf(stderr, "%s:%d: %d columns, more than %d\n", argv[1], lines + 1, columns, mostColumns);
        ++lines;
    }
    if (lines > mostLines && ++faults) std::fprintf(stderr, "%s: %d lines, more than %d\n", argv[1], lines, mostLines);
    std::printf("%s: %d lines\n", argv[1], lines);
    return faults ? 1 : 0;
}

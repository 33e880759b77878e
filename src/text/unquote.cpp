#include "text/unquote.h"

#include <cstring>

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

void UnquotePath(char* text) {
    if (!text) return;
    const std::size_t length = std::strlen(text);
    std::size_t begin = 0, end = length;
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    if (end - begin < 2 || text[begin] != '"' || text[end - 1] != '"') return;
    const std::size_t inner = end - begin - 2;
    std::memmove(text, text + begin + 1, inner);
    std::memset(text + inner, 0, length - inner);
}

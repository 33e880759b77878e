#include "test_support.h"

#include <atomic>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace test {

TempDir::TempDir() {
    static std::atomic<int> serial{0};
    fs::path base = fs::temp_directory_path();
    for (;;) {
        fs::path dir = base / ("vaxu-test-" + std::to_string(std::rand()) + "-" + std::to_string(serial++));
        std::error_code ec;
        if (fs::create_directory(dir, ec)) {
            path_ = dir.string() + static_cast<char>(fs::path::preferred_separator);
            return;
        }
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "<missing>";
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

bool UnderWine() {
#ifdef _WIN32
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
#else
    return false;
#endif
}

std::string StoredValue(const std::string& value) {
    if (!UnderWine()) return value;
    size_t end = value.find_last_not_of(" \t");
    return end == std::string::npos ? "" : value.substr(0, end + 1);
}

bool MakeFolder(const std::string& path) {
#ifdef _WIN32
    return CreateDirectoryA(path.c_str(), nullptr) != FALSE;  // the name in the ANSI code page
#else
    return fs::create_directory(path);
#endif
}

bool Exists(const std::string& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

}  // namespace test

namespace test {
Ini ParseIni(const std::string& bytes) {
    Ini ini;
    std::istringstream in(bytes);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            ini.push_back({line.substr(1, line.find(']') - 1), {}});
        } else if (!ini.empty() && line.find('=') != std::string::npos) {
            size_t eq = line.find('=');
            ini.back().keys.push_back({line.substr(0, eq), line.substr(eq + 1)});
        }
    }
    return ini;
}

std::vector<std::string> KeysOf(const Ini& ini, const std::string& section) {
    for (const IniSection& s : ini) {
        if (s.name != section) continue;
        std::vector<std::string> out;
        for (const auto& kv : s.keys) out.push_back(kv.first + "=" + kv.second);
        return out;
    }
    return {"<no section>"};
}
}  // namespace test

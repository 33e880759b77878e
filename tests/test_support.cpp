#include "test_support.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;

namespace test {

TempDir::TempDir() {
    static std::atomic<int> serial{0};
    std::error_code ec;
    fs::path dir;
    do dir = fs::temp_directory_path() / ("vaxu-test-" + std::to_string(std::rand()) + "-" + std::to_string(serial++));
    while (!fs::create_directory(dir, ec));
    path_ = dir.string() + static_cast<char>(fs::path::preferred_separator);
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

bool MakeFolder(const std::string& path) {
#ifdef _WIN32
    return CreateDirectoryA(path.c_str(), nullptr) != FALSE;
#else
    return fs::create_directory(path);
#endif
}

std::string FileId(const std::string& path) {
#ifdef _WIN32
    HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "";
    BY_HANDLE_FILE_INFORMATION info;
    const BOOL got = GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    return got ? std::to_string(info.nFileIndexHigh) + ":" + std::to_string(info.nFileIndexLow) : "";
#else
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return "";
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
#endif
}

bool UnderWine() {
#ifdef _WIN32
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
#else
    return false;
#endif
}

StrBuf Buf(const std::string& text) {
    StrBuf b;
    b.Assign(text.c_str());
    return b;
}

}  // namespace test

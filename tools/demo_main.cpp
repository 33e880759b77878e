// Shows a conversion without a person at the screen: runs the converter
// next to this program, answers it, prints every message it shows and
// saves a picture of each window. It prints in UTF-8, for the terminal.
//
//   vaxu_demo.exe <picture name prefix> <legacy file for the dialog> [detected|dialog]
//
// First run: the detected path.txt is converted. Second run, with the
// detected file renamed away by the caller: the dialog asks, and is
// given the file named on the command line; it is pictured empty and
// again with that path typed in.
#include <windows.h>

#include <cstdio>
#include <string>

#include "app/resource.h"
#include "e2e/converter_driver.h"
#include "window_picture.h"

namespace {
int g_picture = 0;

// The terminal reads UTF-8; the converter's texts are in the ANSI code page.
std::string Utf8(const std::string& ansi) {
    int wide = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, nullptr, 0);
    std::wstring w(wide > 0 ? wide : 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, &w[0], wide);
    int bytes = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(bytes > 0 ? bytes : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, &out[0], bytes, nullptr, nullptr);
    out.resize(out.size() - 1);  // the terminating zero
    return out;
}

void Picture(const std::string& folder, HWND window, const char* what) {
    RedrawWindow(window, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(500);  // let it paint
    char name[40];
    std::snprintf(name, sizeof name, "%02d-%s.bmp", ++g_picture, what);
    SaveWindowBitmap(window, folder + name);
}

// typed: the path the dialog is given, pictured in its edit box as well.
void Report(const std::string& folder, const std::string& typed, HWND window, const e2e::Shown& shown) {
    Picture(folder, window, shown.isDialog ? "dialog" : "message");
    if (shown.isDialog) {
        SetDlgItemTextA(window, IDC_SOURCE_PATH, typed.c_str());
        Picture(folder, window, "dialog-typed");
        std::printf("[dialog] %s\n", Utf8(shown.title).c_str());
    } else {
        std::printf("[message] %s\n%s\n\n", Utf8(shown.title).c_str(), Utf8(shown.text).c_str());
    }
    std::fflush(stdout);
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: vaxu_demo <picture name prefix> <legacy file> [detected|dialog]\n");
        return 2;
    }
    const std::string pictures = argv[1];
    const std::string mode = argc > 3 ? argv[3] : "detected";
    auto hook = [&](HWND w, const e2e::Shown& s) { Report(pictures, argv[2], w, s); };
    char cwd[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, cwd);
    e2e::Outcome o;
    if (mode == "dialog") {
        o = e2e::RunConverter(cwd, {{IDOK, argv[2]}, {IDOK}}, hook);
    } else {
        o = e2e::RunConverter(cwd, {{IDOK}, {IDOK}}, hook);
    }
    std::printf("(the converter ended with exit code %lu)\n", o.exitCode);
    return o.exitCode == 0 ? 0 : 1;
}

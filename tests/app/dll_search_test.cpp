// A DLL planted beside the program is not loaded by its bare name once the
// program's start-up code has run; system DLLs still are.
#include "app/dll_search.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

TEST(DllSearch, APlantedDllIsNotLoadedButSystemOnesAre) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const std::string planted = std::string(self).substr(0, std::string(self).find_last_of('\\') + 1) + "planted.dll";
    RestrictDllSearch();
    EXPECT_EQ(LoadLibraryA("planted.dll"), nullptr);
    EXPECT_NE(LoadLibraryA("uxtheme.dll"), nullptr);
    EXPECT_NE(LoadLibraryA(planted.c_str()), nullptr) << "a loadable DLL is there, by its full path";
}

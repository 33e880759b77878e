// A legacy file's bytes read through the real reader and a real file.
#pragma once
#include <string>

#include "convert/legacy_reader.h"
#include "test_support.h"

namespace test {
struct Reading {
    LegacySettings settings;
    CommandList commands;
    bool ok = false;

    explicit Reading(const std::string& bytes) {
        TempDir dir;
        std::string path = dir.File("path.txt");
        WriteBytes(path, bytes);
        FileObj file;
        if (file.Open(path.c_str(), false, false)) ok = ReadLegacySettings(file, settings, commands);
    }
};
}  // namespace test

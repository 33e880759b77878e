// A legacy file's bytes read through the real reader and a real file;
// with failAt >= 0, allocation failAt of the reading fails (0: none, but
// allocations are counted).
#pragma once
#include <string>

#include "convert/legacy_reader.h"
#include "test_support.h"

namespace test {
struct Reading {
    LegacySettings settings;
    CommandList commands;
    bool ok = false, injected = false;
    long allocations = 0;

    explicit Reading(const std::string& bytes, long failAt = -1) {
        TempDir dir;
        WriteBytes(dir.File("path.txt"), bytes);
        FileObj file;
        if (!file.Open(dir.File("path.txt").c_str(), false, false)) return;
        if (failAt >= 0) alloc_fault::Arm(failAt);
        ok = ReadLegacySettings(file, settings, commands);
        injected = alloc_fault::Injected();
        allocations = alloc_fault::Count();
        alloc_fault::Disarm();
    }
};
}  // namespace test

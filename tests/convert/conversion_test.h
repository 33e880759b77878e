// A conversion job with an empty install folder and a legacy file of its own.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "convert/convert_job.h"
#include "test_support.h"

namespace test {
class ConversionTest : public ::testing::Test {
protected:
    void SetUp() override {
        job.Init();
        job.installFolder.Assign(dir.Path().c_str());
    }
    void TearDown() override { job.Teardown(); }

    void Prepare(const std::string& legacy) {
        WriteBytes(source, legacy);
        job.sourcePath.Assign(source.c_str());
    }
    ConvertResult Convert(const std::string& legacy) {
        Prepare(legacy);
        return job.RunConversion();
    }
    std::string Ini() { return ReadBytes(dir.File("vaxu.ini")); }
    std::string Cmd() { return ReadBytes(dir.File("vaxu_cmd.txt")); }
    std::string Bak() { return ReadBytes(dir.File("vaxu_cmd.txt.bak")); }

    TempDir dir;
    TempDir legacyDir;
    std::string source = legacyDir.File("path.txt");
    ConvertJob job;
};

}  // namespace test

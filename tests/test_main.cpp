#include <gtest/gtest.h>

#include "platform/ansi_text.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Every expectation on Japanese text assumes code page 932 (under Wine:
    // LC_ALL=ja_JP.UTF-8). Refuse to run on anything else.
    if (!IsLeadByte(0x83) || IsLeadByte(0x41)) {
        fprintf(stderr, "The ANSI code page is not 932; run with LC_ALL=ja_JP.UTF-8.\n");
        return 2;
    }
    return RUN_ALL_TESTS();
}

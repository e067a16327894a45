#include "core/command_line.hpp"

#include <gtest/gtest.h>

using namespace quorvel;

TEST(FlashCommandLine, QuotesBothPathsInsideTheOuterPairThatCmdStrips) {
    EXPECT_EQ(
        flash_command_line("C:\\Users\\A B\\Temp\\\\ffutool\\ffutool.exe", "D:\\固件 1\\image.ffu"),
        "cmd /c \"\"C:\\Users\\A B\\Temp\\\\ffutool\\ffutool.exe\" -uefiflash \"D:\\固件 "
        "1\\image.ffu\"\"");
}
